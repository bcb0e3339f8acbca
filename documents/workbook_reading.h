#pragma once

// What the three workbook readers share: the bounds every read is held to, the text forms of
// numbers, and the collection of a worksheet's cells. Not part of the reader's interface.

#include "documents/workbook.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trelvant::workbook {

// Far above any workbook of the four editors' tables (the largest is a few thousand cells).
inline constexpr std::uintmax_t kMaxWorkbookBytes = 64u * 1024u * 1024u;

// The used range of a worksheet, up to its last row and column holding a value, is handed over
// whole: a value in a far corner (XFD1048576) must not make it billions of cells.
inline constexpr std::uint64_t kMaxWorksheetCells = 1u << 20;

// All the texts of the worksheet's records together: one long shared string in many cells must
// not be copied into gigabytes.
inline constexpr std::uint64_t kMaxWorksheetTextBytes = 16u * 1024u * 1024u;

// "<path> is not a workbook that can be read", with ": <reason>" when a reason is given.
[[noreturn]] void ThrowNotReadable(const std::filesystem::path& workbook, std::string_view reason = {});

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

// A whole number gives its digits alone ("61444", "-3", "4294967295"); any other number the
// shortest decimal that reads back as the same double, never in exponent form. Not a number or
// an infinity gives an empty field.
WorkbookField NumberField(double value);

// The text form of a number stored as text in the workbook ("61444", "2.5E-3", "1E+20"): read as
// a double and given as NumberField gives it; nullopt when the text is not a number.
WorkbookField NumberTextField(std::string_view text);

// Collects the cells of one worksheet in any order and makes its records. Each value is checked
// as it comes: a used range above kMaxWorksheetCells or texts above kMaxWorksheetTextBytes end
// the read with the reader's error, before anything is held for them.
class SheetCells {
public:
    SheetCells(const std::filesystem::path& workbook, std::string name);

    // Row and column count from 0, row 0 being the title row. An empty text is an empty cell and
    // is not kept. A later value for the same cell replaces the earlier one.
    void add(std::uint64_t row, std::uint64_t column, std::string text);

    // Would a value at (row, column) keep the used range within kMaxWorksheetCells?
    bool fits(std::uint64_t row, std::uint64_t column) const;

    // The bytes of text that may still be added before kMaxWorksheetTextBytes is passed.
    std::uint64_t textRoom() const { return kMaxWorksheetTextBytes - textBytes_; }

    // Ends the read as add does when texts of that many more bytes would pass the bound.
    void expectText(std::uint64_t textBytes) const;

    // Ends the read now, as add would later, when a value at (row, column) or texts of that many
    // more bytes would pass the bounds: a repeat of a value is refused before it is expanded.
    void expect(std::uint64_t row, std::uint64_t column, std::uint64_t textBytes) const;

    // Records are the rows below the title row down to the last row holding a value; every
    // record has one field per column up to the last column holding a value in any row.
    Worksheet finish() &&;

    const std::string& name() const { return name_; }

private:
    struct Cell {
        std::uint32_t row;
        std::uint32_t column;
        std::string text;
    };

    [[noreturn]] void throwTooLarge() const;
    [[noreturn]] void throwTooMuchText() const;

    std::filesystem::path workbook_;
    std::string name_;
    std::vector<Cell> cells_;
    std::uint64_t rows_ = 0;     // last row holding a value + 1
    std::uint64_t columns_ = 0;  // last column holding a value + 1
    std::uint64_t textBytes_ = 0;
};

// The readers of each kind. sheetName is compared without regard to ASCII case; nullopt when the
// workbook holds no such worksheet. Each throws Error for a file it cannot read whole.
std::optional<Worksheet> ReadXlsWorksheet(const std::filesystem::path& workbook, const std::string& bytes,
                                          std::string_view sheetName);
std::optional<Worksheet> ReadZipWorksheet(const std::filesystem::path& workbook, const std::string& bytes,
                                          std::string_view sheetName);

}  // namespace trelvant::workbook
