#pragma once

// What can be told of an .xls workbook before FreeXL reads it. FreeXL trusts the counts and sizes
// of the compound document and allocates every worksheet's cell grid, as its DIMENSIONS record
// declares it, when it opens the file: those are checked here, so that a damaged or hostile file
// is refused with its reason rather than left to the library's limits.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace trelvant {

// A cell of a worksheet, its row and column counted from 0.
struct XlsCell {
    std::uint32_t row;
    std::uint32_t column;
};

struct XlsCheck {
    // The first reason found to refuse the workbook (a text that follows "is not a workbook that
    // can be read: "), or nullopt when nothing checked is wrong.
    std::optional<std::string> refusal;
    // The names of its sheets as its BOUNDSHEET records give them, in their order; nullopt when it
    // is refused or when its records are of another BIFF version than 5 and 8.
    std::optional<std::vector<std::string>> worksheets;
    // For each of worksheets, the first cell (by row, then column) that shows a text holding the
    // character 0, which FreeXL hands back cut there; nullopt for a worksheet without one.
    std::vector<std::optional<XlsCell>> cellsWithNul;
};

// Checks: the compound document's header (sector sizes, counts of allocation table, directory and
// mini table sectors within the file), its allocation chains (every sector within the file, no
// loop), every directory entry's name length (0 to 64 bytes, even), the workbook stream
// ("Workbook" or "Book") whole within the file; then the BIFF records of that stream, each read
// once: each record within it; at most 65535 worksheets, each beginning at a BOF record of its own
// after the workbook's globals, none inside another; each worksheet's DIMENSIONS record within
// 65536 rows and 256 columns, at most maxCells cells a worksheet and 4 x maxCells all together;
// the texts FreeXL copies by their own lengths (sheet names, number formats, LABEL cells, the
// shared strings and their continuations) within their records. Notes which cells show a text
// holding the character 0: a LABEL or RSTRING holding it, a LABELSST naming a shared string that
// holds it, unless a later cell record of the worksheet replaces it.
XlsCheck CheckXlsWorkbook(const std::string& bytes, unsigned long long maxCells);

}  // namespace trelvant
