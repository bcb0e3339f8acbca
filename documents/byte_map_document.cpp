#include "documents/byte_map_document.h"

#include "documents/frame_list_document.h"
#include "documents/integer_conversion.h"
#include "documents/row_document.h"
#include "documents/xml_file.h"
#include "platform/atomic_file.h"
#include "platform/error.h"

#include <algorithm>
#include <array>
#include <exception>
#include <pugixml.hpp>
#include <tuple>

namespace trelvant {
namespace {

constexpr std::array<std::string_view, 2> kReceiveFrameAttributes = {"PGN", "ID_DEV"};
constexpr std::array<std::string_view, 4> kTransmitFrameAttributes = {"Priority", "DP", "PGN", "ID_DEV"};

const std::string& required(const XmlRow& row, std::string_view name)
{
    const std::string* text = row.attribute(name);
    if (!text) throw Error("no attribute " + std::string(name));
    return *text;
}

void readFrames(const RowDocument* frames, Direction direction, ByteMap& byteMap, ReadingReport& report)
{
    if (!frames) return;
    const std::span<const std::string_view> names = ByteMapFrameAttributes(direction);
    for (std::size_t i = 0; i < frames->rows.size(); ++i) {
        const XmlRow& row = frames->rows[i];
        std::vector<std::string> texts;
        for (const std::string_view name : names) texts.push_back(required(row, name));
        report.frame(texts);
        TClPdo& entry = byteMap.emplace_back();
        entry.PGN = required(row, "PGN");
        entry.NrPdo = static_cast<std::int32_t>(i + 1);
    }
}

void readRows(const RowDocument* rows, Direction direction, ByteMap& byteMap)
{
    if (!rows) return;
    for (const XmlRow& row : rows->rows) {
        const std::int32_t n = StrToInt(required(row, "NrPdo"));
        if (n <= 0) throw Error("NrPdo " + std::to_string(n) + " names no frame");
        // Rows of frames that are no longer in the frame list are dropped.
        if (static_cast<std::size_t>(n) > byteMap.size()) continue;

        TClIndMB entry;
        entry.Index = required(row, "Index");
        entry.PosComp = required(row, "PosComp");
        if (direction == Direction::Transmit) {
            const std::string* write = row.attribute("Write_J1939");
            entry.Write_J1939 = write ? *write : "0";
        }
        byteMap[static_cast<std::size_t>(n) - 1].registers.push_back(std::move(entry));
    }
}

}  // namespace

std::filesystem::path ByteMapPath(const std::filesystem::path& projectFolder, Direction direction)
{
    std::string name(direction == Direction::Receive ? kReceiveByteMapName : kTransmitByteMapName);
    return projectFolder / (name + ".xml");
}

std::span<const std::string_view> ByteMapFrameAttributes(Direction direction)
{
    if (direction == Direction::Receive) return kReceiveFrameAttributes;
    return kTransmitFrameAttributes;
}

ByteMap ReadByteMap(const std::filesystem::path& projectFolder, Direction direction, ReadingReport& report)
{
    ByteMap byteMap;
    try {
        const std::optional<RowDocument> frames = ReadRowDocument(FrameListPath(projectFolder, direction));
        readFrames(frames ? &*frames : nullptr, direction, byteMap, report);
    } catch (const std::exception&) {
        report.error(std::string(kFrameListReadError));
    }
    try {
        const std::optional<RowDocument> rows = ReadRowDocument(ByteMapPath(projectFolder, direction));
        readRows(rows ? &*rows : nullptr, direction, byteMap);
    } catch (const std::exception&) {
        report.error(std::string(kByteMapReadError));
    }
    return byteMap;
}

ByteMap ReadByteMap(const RowDocument* frames, const RowDocument* rows, Direction direction, ReadingReport& report)
{
    ByteMap byteMap;
    try {
        readFrames(frames, direction, byteMap, report);
    } catch (const std::exception&) {
        report.error(std::string(kFrameListReadError));
    }
    try {
        readRows(rows, direction, byteMap);
    } catch (const std::exception&) {
        report.error(std::string(kByteMapReadError));
    }
    return byteMap;
}

namespace {

struct Placed {
    std::int32_t value;
    std::size_t scan;  // position in frame entry, then register entry, sequence
    ByteMapPosition position;
};

// Ascending value; among equal values the later entry first. Values above the ordering bound
// are larger than every other, so they follow all others in the same order.
std::vector<ByteMapPosition> ordered(std::vector<Placed>& placed)
{
    std::ranges::sort(placed, [](const Placed& a, const Placed& b) {
        return std::tie(a.value, b.scan) < std::tie(b.value, a.scan);
    });
    std::vector<ByteMapPosition> order;
    order.reserve(placed.size());
    for (const Placed& p : placed) order.push_back(p.position);
    return order;
}

}  // namespace

std::vector<ByteMapPosition> ByteMapRowOrder(const ByteMap& byteMap)
{
    std::vector<Placed> placed;
    for (std::size_t f = 0; f < byteMap.size(); ++f)
        for (std::size_t r = 0; r < byteMap[f].registers.size(); ++r)
            placed.push_back({StrToInt(byteMap[f].registers[r].Index), placed.size(), {f, r}});
    return ordered(placed);
}

std::vector<ByteMapPosition> ByteMapRowOrderOfAny(const ByteMap& byteMap)
{
    std::vector<Placed> placed;
    std::vector<ByteMapPosition> notIntegers;
    for (std::size_t f = 0; f < byteMap.size(); ++f)
        for (std::size_t r = 0; r < byteMap[f].registers.size(); ++r) {
            const std::optional<std::int32_t> value = TryStrToInt(byteMap[f].registers[r].Index);
            if (value) placed.push_back({*value, placed.size(), {f, r}});
            else notIntegers.push_back({f, r});
        }
    std::vector<ByteMapPosition> order = ordered(placed);
    order.insert(order.end(), notIntegers.begin(), notIntegers.end());
    return order;
}

std::string ByteMapXml(Direction direction, const ByteMap& byteMap)
{
    return ByteMapXml(direction, byteMap, ByteMapRowOrder(byteMap));
}

std::string ByteMapXml(Direction direction, const ByteMap& byteMap, const std::vector<ByteMapPosition>& order)
{
    const bool transmit = direction == Direction::Transmit;
    const std::string rootName(transmit ? kTransmitByteMapName : kReceiveByteMapName);
    pugi::xml_document xml;
    pugi::xml_node root = xml.append_child(rootName.c_str());
    for (const ByteMapPosition& p : order) {
        const TClPdo& frame = byteMap[p.frame];
        const TClIndMB& entry = frame.registers[p.entry];
        pugi::xml_node row = root.append_child("row");
        row.append_attribute("Index").set_value(entry.Index.c_str());
        row.append_attribute("NrPdo").set_value(std::to_string(frame.NrPdo).c_str());
        row.append_attribute("PosComp").set_value(entry.PosComp.c_str());
        if (transmit) row.append_attribute("Write_J1939").set_value(entry.Write_J1939.c_str());
    }
    return SerializeXml(xml);
}

void WriteByteMap(const std::filesystem::path& projectFolder, Direction direction, const ByteMap& byteMap)
{
    WriteDocument(ByteMapPath(projectFolder, direction), ByteMapXml(direction, byteMap));
}

}  // namespace trelvant
