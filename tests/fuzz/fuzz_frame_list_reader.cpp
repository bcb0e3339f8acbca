// The frame list documents as the frame list editors load them, in both directions, and the row
// reader under them: a load keeps the shape of its rows, and what the editor writes back loads
// as the rows it wrote.
#include "documents/frame_list_document.h"
#include "documents/row_document.h"
#include "platform/error.h"
#include "tests/fuzz/fuzz_support.h"

#include <optional>
#include <string>

using namespace trelvant;
using fuzz::Check;

namespace {

const char* Name(Direction direction)
{
    return direction == Direction::Receive ? "receive" : "transmit";
}

void LoadAndWriteBack(const std::filesystem::path& folder, Direction direction,
                      const std::optional<RowDocument>& document)
{
    const std::filesystem::path path = FrameListPath(folder, direction);
    const FrameListLoad load = ReadFrameListForEditor(path, direction);
    const std::size_t columns = FrameListAttributes(direction).size();
    for (const FrameRow& row : load.rows)
        Check(row.size() == columns, std::string(Name(direction)) + " row with " + std::to_string(row.size()) + " texts");
    if (!document) {
        Check(load.rows.empty() && load.error, "a document refused by the row reader, or without COBID, loaded");
        return;
    }
    Check(load.rows.size() <= document->rows.size(), "more rows loaded than the document holds");
    if (load.error) return;
    Check(load.rows.size() == document->rows.size(), "a load without error left rows out");

    // The editor's OK: the list ends before the first row whose first text is empty.
    std::vector<FrameRow> expected;
    for (const FrameRow& row : load.rows) {
        if (row.front().empty()) break;
        expected.push_back(row);
    }
    const std::filesystem::path again = folder / "again.xml";
    fuzz::WriteBytes(again, FrameListXml(direction, load.rows));
    const FrameListLoad reloaded = ReadFrameListForEditor(again, direction);
    Check(!reloaded.error, std::string("the written ") + Name(direction) + " list does not load: " +
                               reloaded.error.value_or(""));
    Check(reloaded.rows == expected, std::string("the written ") + Name(direction) + " list loads other rows");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::filesystem::path folder = fuzz::FreshFolder("project");
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    fuzz::WriteBytes(folder / "RCobDef.xml", bytes);
    fuzz::WriteBytes(folder / "TCobDef.xml", bytes);

    std::optional<RowDocument> document;
    try {
        document = ReadRowDocument(folder / "rcobdef.XML");
        Check(document.has_value(), "a document that exists reads as absent");
        for (const XmlRow& row : document->rows)
            for (const auto& [name, value] : row.attributes)
                Check(row.attribute(name) != nullptr, "an attribute of a row cannot be found by its name");
    } catch (const Error&) {
    }
    if (document && document->rootName != "COBID") document.reset();

    LoadAndWriteBack(folder, Direction::Receive, document);
    LoadAndWriteBack(folder, Direction::Transmit, document);
    return 0;
}
