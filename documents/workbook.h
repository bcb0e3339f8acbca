#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trelvant {

// A field of a worksheet record: the cell's text, or nothing for an empty cell.
using WorkbookField = std::optional<std::string>;

// One row below a worksheet's title row, its fields in column order from the leftmost column.
using WorkbookRecord = std::vector<WorkbookField>;

struct Worksheet {
    std::string name;                     // as the workbook spells it
    std::vector<WorkbookRecord> records;  // the rows below the first row, in order
};

// A cell's name as a worksheet shows it: "D3" for row 2 and column 3, both counted from 0.
inline std::string CellName(std::uint64_t row, std::uint64_t column)
{
    std::string letters;
    for (std::uint64_t n = column + 1; n > 0; n = (n - 1) / 26)
        letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
    return letters + std::to_string(row + 1);
}

// The workbook kinds that can be read: .xls (BIFF5 and BIFF8), .xlsx and .ods.
inline constexpr std::string_view kWorkbookKinds = "*.xls *.xlsx *.ods";

// Reads the worksheet whose name equals sheetName without regard to ASCII case (the first such one
// in workbook order). nullopt when the workbook holds no such worksheet. The reader is chosen by
// the file's first bytes, not its extension: a compound document is read as .xls, a zip as .xlsx
// or .ods by its content.
//
// Records run from the second row down to the last row holding a value; each has one field per
// column from A to the last column holding a value in any row (the widest row decides). A number
// cell gives its text form ("61444", "-42", "4294967295" for whole numbers, the shortest exact
// decimal otherwise: "0.1", "2.5", never an exponent), a text cell its text unchanged (UTF-8,
// blanks and control characters kept, the character 0 of .xlsx and .ods too; rich text runs
// joined; in .ods a cell's paragraphs joined by line breaks), a
// boolean "1" or "0", a formula its stored result. An empty cell, a cell holding the empty text
// and a formula without a stored result or with an error result all give nullopt. FreeXL gives
// no stored result of a formula in .xls: such a cell reads as empty.
//
// .xls is read by FreeXL in a child process of its own, so that a damaged file that makes the
// library crash or run away ends that process and not the program; it is read only in builds
// with TRELVANT_WITH_XLS (not on Windows), other builds refuse it with a message.
//
// Throws Error ("Unable to read <path>: <reason>") when the file is missing, not a regular file or
// larger than 64 MiB (refused before it is read), and Error ("<path> is not a workbook that can be
// read[: <reason>]") when its content cannot be read whole: neither a compound document nor a zip,
// damaged, a part that is named but missing or cannot be unpacked, a row or a cell of an .xlsx
// given twice, a shared string it does not hold, a part larger than 16 MiB unpacked, a used range
// of the worksheet above 1048576 cells, texts of the worksheet above 16 MiB, or a cell of an .xls
// worksheet whose text holds the character 0, which FreeXL would cut there ("its worksheet
// rpdodef, cell B3, holds the control character 0x00, ..."). A refusal is never a partly read
// worksheet.
std::optional<Worksheet> ReadWorksheet(const std::filesystem::path& workbook, std::string_view sheetName);

}  // namespace trelvant
