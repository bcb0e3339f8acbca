#pragma once

#include "documents/byte_map.h"
#include "documents/direction.h"
#include "documents/frame_list_document.h"
#include "documents/workbook.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace trelvant {

// The worksheet an editor's import reads and the name of the file its export writes. The two
// frame list editors share theirs.
inline constexpr std::string_view kFrameListSheet = "rpdodef";
std::string_view ByteMapSheet(Direction direction);  // "RInfoCob" or "TInfoCob"

// project folder / sheet name + ".csv".
std::filesystem::path ExportPath(const std::filesystem::path& projectFolder, std::string_view sheet);

// The first export line of a frame list; it ends with a blank.
inline constexpr std::string_view kFrameListCsvTitle = "cobid,id_dev_orig,en_bypass,posind,n_tpdo ";

// A frame list import: record r becomes grid row r + 1 (here rows[r]), field k its data column
// k + 1, an empty cell an empty text. Each row has the editor's data columns (4 receive, 5
// transmit); fields beyond them are not taken, nor records beyond the grid's 250 rows. The list
// ends before the first record whose first field is empty; when records holding a value follow
// that one, endsAt names it and after counts them. Throws Error ("cell D3 (record 2) holds the
// control character 0x1B, ...") for a field taken that holds a character below 0x20 other than
// tab, line feed and carriage return, which a document cannot hold.
struct FrameListImport {
    std::vector<FrameRow> rows;          // kMaxFrames rows, the ones without a record empty
    std::size_t leftOut = 0;             // records beyond the 250th
    std::optional<std::size_t> endsAt;   // the record, counted from 0, that ends the list early
    std::size_t after = 0;               // records holding a value after endsAt
};
FrameListImport ImportFrameRows(const std::vector<WorkbookRecord>& records, Direction direction);

// A byte map import: every register entry of every frame entry is dropped, then each record
// (Index, frame number, PosComp) is appended to the frame entry numbered by the low 7 bits of
// its frame number; records naming a frame beyond the frame entries are skipped, and each is
// listed with the frame it names. A frame
// number that is not an integer, a number whose low 7 bits are 0 or a record of fewer than
// three fields stops the import there: the entries appended before stay, and the stop says
// which record (counted from 0) ended it. A field it takes (a frame number it reads) that holds a
// control character throws Error as ImportFrameRows does. An import that would give the byte map more register
// entries than the image has room for (kMaxReceiveMapRows, kMaxTransmitMapRows) throws Error with
// both numbers and leaves byteMap as it was.
struct SkippedRecord {
    std::size_t record;  // counted from 0
    std::size_t frame;   // the frame number it names, its low 7 bits
    bool operator==(const SkippedRecord&) const = default;
};
struct ByteMapImport {
    std::size_t imported = 0;
    std::size_t skipped = 0;                    // records of frames beyond the frame entries
    std::vector<SkippedRecord> skippedRecords;  // those records, in worksheet order
    std::optional<std::size_t> stoppedAt;       // the record that ended the import
    std::string stopReason;
};
ByteMapImport ImportByteMapRecords(ByteMap& byteMap, const std::vector<WorkbookRecord>& records, Direction direction);

// The row of the worksheet that holds a record (counted from 0): the title is row 1.
inline std::size_t WorksheetRow(std::size_t record)
{
    return record + 2;
}

// What an import that was taken did, for the user: "RInfoCob: 3 registers imported, 1 row
// skipped: row 3 names frame 9, the list has 4". The first kNamedSkippedRows skipped rows are
// named, the others counted ("and 2 more").
inline constexpr std::size_t kNamedSkippedRows = 3;
std::string ByteMapImportSummary(const ByteMapImport& import, std::string_view sheet, std::size_t frames);

// The export files' bytes, every line ended by CR LF. Frame lists: the title line, then for each
// row of the list (it ends before the first row whose first data column is empty, at most 250
// rows) its first two data columns and ",0,0,0". Byte maps: no title; per register entry, in
// frame entry then register entry order, Index, the frame number, PosComp and a closing comma.
std::string FrameListCsv(const std::vector<FrameRow>& rows);
std::string ByteMapCsv(const ByteMap& byteMap);

// Creates or replaces the export file whole. Throws Error when it cannot be written.
void WriteExport(const std::filesystem::path& path, std::string_view bytes);

}  // namespace trelvant
