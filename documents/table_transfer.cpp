#include "documents/table_transfer.h"

#include "documents/byte_map_document.h"
#include "documents/integer_conversion.h"
#include "platform/atomic_file.h"
#include "platform/error.h"

#include <algorithm>

namespace trelvant {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

std::string text(const WorkbookRecord& record, std::size_t field)
{
    return field < record.size() && record[field] ? *record[field] : std::string();
}

// XML 1.0 holds no character below 0x20 but tab, line feed and carriage return: a document
// written with one is refused by its readers, and the character 0 cuts the text it stands in.
void RefuseControlCharacters(const WorkbookRecord& record, std::size_t r, std::size_t field)
{
    if (field >= record.size() || !record[field]) return;
    for (const char c : *record[field]) {
        const auto code = static_cast<unsigned char>(c);
        if (code >= 0x20 || c == '\t' || c == '\n' || c == '\r') continue;
        const char digits[] = "0123456789ABCDEF";
        throw Error("cell " + CellName(r + 1, field) + " (record " + std::to_string(r + 1) +
                    ") holds the control character 0x" + digits[code >> 4] + digits[code & 15] +
                    ", which a document cannot hold");
    }
}

bool HoldsValue(const WorkbookRecord& record, std::size_t fields)
{
    for (std::size_t k = 0; k < fields && k < record.size(); ++k)
        if (record[k] && !record[k]->empty()) return true;
    return false;
}

}  // namespace

std::string_view ByteMapSheet(Direction direction)
{
    // A byte map's worksheet and export file are named after its document.
    return direction == Direction::Receive ? kReceiveByteMapName : kTransmitByteMapName;
}

std::filesystem::path ExportPath(const std::filesystem::path& projectFolder, std::string_view sheet)
{
    return projectFolder / (std::string(sheet) + ".csv");
}

FrameListImport ImportFrameRows(const std::vector<WorkbookRecord>& records, Direction direction)
{
    const std::size_t columns = FrameListAttributes(direction).size();
    FrameListImport result;
    result.rows.assign(kMaxFrames, FrameRow(columns));
    const std::size_t taken = std::min(records.size(), kMaxFrames);
    for (std::size_t r = 0; r < taken; ++r) {
        for (std::size_t k = 0; k < columns; ++k) {
            RefuseControlCharacters(records[r], r, k);
            result.rows[r][k] = text(records[r], k);
        }
    }
    result.leftOut = records.size() - taken;
    for (std::size_t r = 0; r < records.size(); ++r) {
        if (!text(records[r], 0).empty()) continue;
        result.after = static_cast<std::size_t>(std::count_if(
            records.begin() + static_cast<std::ptrdiff_t>(r) + 1, records.end(),
            [&](const WorkbookRecord& record) { return HoldsValue(record, columns); }));
        if (result.after > 0) result.endsAt = r;
        break;
    }
    return result;
}

namespace {

ByteMapImport TransferByteMapRecords(ByteMap& byteMap, const std::vector<WorkbookRecord>& records, Direction direction)
{
    for (TClPdo& frame : byteMap) frame.registers.clear();
    ByteMapImport result;
    for (std::size_t r = 0; r < records.size(); ++r) {
        const WorkbookRecord& record = records[r];
        if (record.size() < 3) {
            result.stoppedAt = r;
            result.stopReason = "the worksheet has fewer than three columns";
            break;
        }
        RefuseControlCharacters(record, r, 1);
        const std::string frameText = text(record, 1);
        const std::optional<std::int32_t> value = TryStrToInt(frameText);
        if (!value) {
            result.stoppedAt = r;
            result.stopReason = "'" + frameText + "' is not a valid integer value";
            break;
        }
        // Only the low 7 bits count: frame number 129 is frame 1.
        const std::size_t n = static_cast<std::size_t>(*value & 127);
        if (n == 0) {
            result.stoppedAt = r;
            result.stopReason = "frame number " + frameText + " names no frame";
            break;
        }
        if (n > byteMap.size()) {
            ++result.skipped;
            result.skippedRecords.push_back({r, n});
            continue;
        }
        RefuseControlCharacters(record, r, 0);
        RefuseControlCharacters(record, r, 2);
        TClIndMB entry{text(record, 0), text(record, 2), direction == Direction::Transmit ? "0" : ""};
        byteMap[n - 1].registers.push_back(std::move(entry));
        ++result.imported;
    }
    return result;
}

}  // namespace

ByteMapImport ImportByteMapRecords(ByteMap& byteMap, const std::vector<WorkbookRecord>& records, Direction direction)
{
    ByteMap imported = byteMap;
    ByteMapImport result = TransferByteMapRecords(imported, records, direction);
    const std::size_t room = direction == Direction::Receive ? kMaxReceiveMapRows : kMaxTransmitMapRows;
    if (result.imported > room)
        throw Error("the worksheet gives " + std::to_string(result.imported) + " register entries, and " +
                    (direction == Direction::Receive ? "the receive" : "the transmit") + " byte map holds at most " +
                    std::to_string(room) + " rows");
    byteMap = std::move(imported);
    return result;
}

std::string ByteMapImportSummary(const ByteMapImport& import, std::string_view sheet, std::size_t frames)
{
    const auto counted = [](std::size_t n, const char* one, const char* many) {
        return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    std::string summary = std::string(sheet) + ": " + counted(import.imported, "register", "registers") + " imported";
    if (import.skipped == 0) return summary;
    summary += ", " + counted(import.skipped, "row", "rows") + " skipped: ";
    const std::size_t named = std::min(import.skippedRecords.size(), kNamedSkippedRows);
    for (std::size_t i = 0; i < named; ++i) {
        const SkippedRecord& skipped = import.skippedRecords[i];
        if (i > 0) summary += ", ";
        summary += "row " + std::to_string(WorksheetRow(skipped.record)) + " names frame " + std::to_string(skipped.frame);
    }
    if (import.skipped > named) summary += " and " + std::to_string(import.skipped - named) + " more";
    // After a list of rows a comma would read as one more of them.
    summary += (import.skipped == 1 ? ", the list has " : "; the list has ") + std::to_string(frames);
    return summary;
}

std::string FrameListCsv(const std::vector<FrameRow>& rows)
{
    std::string csv(kFrameListCsvTitle);
    csv += kLineEnd;
    const std::size_t count = std::min(rows.size(), kMaxFrames);
    for (std::size_t r = 0; r < count; ++r) {
        const FrameRow& row = rows[r];
        if (row.empty() || row[0].empty()) break;
        csv += row[0] + "," + (row.size() > 1 ? row[1] : std::string()) + ",0,0,0";
        csv += kLineEnd;
    }
    return csv;
}

std::string ByteMapCsv(const ByteMap& byteMap)
{
    std::string csv;
    for (const TClPdo& frame : byteMap)
        for (const TClIndMB& entry : frame.registers) {
            csv += entry.Index + "," + std::to_string(frame.NrPdo) + "," + entry.PosComp + ",";
            csv += kLineEnd;
        }
    return csv;
}

void WriteExport(const std::filesystem::path& path, std::string_view bytes)
{
    WriteFileAtomically(path, bytes, ProjectFile(path.parent_path()));
}

}  // namespace trelvant
