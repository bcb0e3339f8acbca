#include "documents/frame_list_document.h"

#include "documents/row_document.h"
#include "documents/xml_file.h"
#include "platform/atomic_file.h"
#include "platform/error.h"

#include <array>
#include <pugixml.hpp>

namespace trelvant {
namespace {

constexpr std::array<std::string_view, 4> kReceiveAttributes = {"PGN", "ID_DEV", "Delete", "Mnemonic"};
constexpr std::array<std::string_view, 5> kTransmitAttributes = {"Priority", "DP", "PGN", "ID_DEV", "Mnemonic"};

}  // namespace

std::filesystem::path FrameListPath(const std::filesystem::path& projectFolder, Direction direction)
{
    return projectFolder /
           (direction == Direction::Receive ? kReceiveFrameListFileName : kTransmitFrameListFileName);
}

std::span<const std::string_view> FrameListAttributes(Direction direction)
{
    if (direction == Direction::Receive) return kReceiveAttributes;
    return kTransmitAttributes;
}

std::string FrameListXml(Direction direction, const std::vector<FrameRow>& rows)
{
    const std::span<const std::string_view> names = FrameListAttributes(direction);
    pugi::xml_document xml;
    pugi::xml_node root = xml.append_child(kFrameListRoot.data());
    for (const FrameRow& row : rows) {
        if (row.empty() || row.front().empty()) break;
        pugi::xml_node element = root.append_child(kFrameRowElement.data());
        for (std::size_t i = 0; i < names.size(); ++i)
            element.append_attribute(names[i].data()).set_value(i < row.size() ? row[i].c_str() : "");
    }
    return SerializeXml(xml);
}

void WriteFrameList(const std::filesystem::path& path, Direction direction, const std::vector<FrameRow>& rows)
{
    WriteDocument(path, FrameListXml(direction, rows));
}

FrameListLoad ReadFrameListForEditor(const std::filesystem::path& path, Direction direction)
{
    FrameListLoad load;
    std::optional<RowDocument> document;
    try {
        document = ReadRowDocument(path);
    } catch (const Error& e) {
        load.error = e.what();
        return load;
    }
    if (!document) return load;
    if (document->rootName != kFrameListRoot) {
        load.error = DisplayPath(path) + ": no " + std::string(kFrameListRoot) + " element";
        return load;
    }

    const std::span<const std::string_view> names = FrameListAttributes(direction);
    for (std::size_t r = 0; r < document->rows.size(); ++r) {
        FrameRow row;
        for (const std::string_view name : names) {
            if (const std::string* text = document->rows[r].attribute(name)) {
                row.push_back(*text);
            } else if (direction == Direction::Receive && name == "Delete") {
                row.emplace_back("N");
            } else {
                load.error = DisplayPath(path) + ", row " + std::to_string(r + 1) + ": no attribute " + std::string(name);
                return load;
            }
        }
        load.rows.push_back(std::move(row));
    }
    return load;
}

}  // namespace trelvant
