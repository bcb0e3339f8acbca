#include "documents/workbook.h"

#include "documents/workbook_reading.h"
#include "platform/atomic_file.h"
#include "platform/error.h"
#include "platform/file_names.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <new>

namespace trelvant {

namespace workbook {

void ThrowNotReadable(const std::filesystem::path& workbook, std::string_view reason)
{
    std::string message = DisplayPath(workbook) + " is not a workbook that can be read";
    if (!reason.empty()) message += ": " + std::string(reason);
    throw Error(message);
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

WorkbookField NumberField(double value)
{
    if (!std::isfinite(value)) return std::nullopt;
    if (value == 0.0) return "0";  // also -0
    char buffer[400];              // the longest fixed form of a double is 326 characters
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (error != std::errc()) return std::nullopt;
    return std::string(buffer, end);
}

WorkbookField NumberTextField(std::string_view text)
{
    // Writers store numbers in the C locale's form; from_chars takes no leading blank or "+".
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\n' || text.front() == '\r'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n' || text.back() == '\r'))
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || end != text.data() + text.size() || error == std::errc::invalid_argument) return std::nullopt;
    if (error == std::errc::result_out_of_range) return std::nullopt;
    return NumberField(value);
}

SheetCells::SheetCells(const std::filesystem::path& workbook, std::string name)
    : workbook_(workbook), name_(std::move(name))
{
}

bool SheetCells::fits(std::uint64_t row, std::uint64_t column) const
{
    if (row >= kMaxWorksheetCells || column >= kMaxWorksheetCells) return false;
    const std::uint64_t rows = std::max(rows_, row + 1);
    const std::uint64_t columns = std::max(columns_, column + 1);
    return rows * columns <= kMaxWorksheetCells;
}

void SheetCells::throwTooLarge() const
{
    ThrowNotReadable(workbook_, "its worksheet " + name_ + " spans more than " + std::to_string(kMaxWorksheetCells) +
                                    " cells");
}

void SheetCells::throwTooMuchText() const
{
    ThrowNotReadable(workbook_, "the texts of its worksheet " + name_ + " are larger than " +
                                    std::to_string(kMaxWorksheetTextBytes / (1024 * 1024)) + " MiB");
}

void SheetCells::expect(std::uint64_t row, std::uint64_t column, std::uint64_t textBytes) const
{
    if (!fits(row, column)) throwTooLarge();
    if (textBytes > kMaxWorksheetTextBytes - textBytes_) throwTooMuchText();
}

void SheetCells::expectText(std::uint64_t textBytes) const
{
    if (textBytes > textRoom()) throwTooMuchText();
}

void SheetCells::add(std::uint64_t row, std::uint64_t column, std::string text)
{
    if (text.empty()) return;  // an empty text counts as an empty cell
    expect(row, column, text.size());
    textBytes_ += text.size();
    rows_ = std::max(rows_, row + 1);
    columns_ = std::max(columns_, column + 1);
    cells_.push_back({static_cast<std::uint32_t>(row), static_cast<std::uint32_t>(column), std::move(text)});
}

Worksheet SheetCells::finish() &&
{
    // Cells come mostly in row order; a cell given twice keeps its last value.
    std::stable_sort(cells_.begin(), cells_.end(), [](const Cell& a, const Cell& b) {
        return a.row != b.row ? a.row < b.row : a.column < b.column;
    });
    Worksheet sheet{std::move(name_), {}};
    if (rows_ > 1) {
        sheet.records.assign(rows_ - 1, WorkbookRecord(columns_));
        for (Cell& cell : cells_)
            if (cell.row > 0) sheet.records[cell.row - 1][cell.column] = std::move(cell.text);
    }
    cells_.clear();
    return sheet;
}

}  // namespace workbook

namespace {

constexpr std::array<unsigned char, 8> kCompoundDocumentSignature = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::array<unsigned char, 4> kZipSignature = {'P', 'K', 0x03, 0x04};

bool StartsWith(const std::string& bytes, const auto& signature)
{
    return bytes.size() >= signature.size() &&
           std::equal(signature.begin(), signature.end(), bytes.begin(),
                      [](unsigned char s, char b) { return s == static_cast<unsigned char>(b); });
}

}  // namespace

std::optional<Worksheet> ReadWorksheet(const std::filesystem::path& workbook, std::string_view sheetName)
{
    // Refuses a missing file, a device or a pipe, and anything above the cap, before reading it.
    std::string bytes = ReadWholeFile(workbook, workbook::kMaxWorkbookBytes);
    try {
        if (StartsWith(bytes, kCompoundDocumentSignature)) return workbook::ReadXlsWorksheet(workbook, bytes, sheetName);
        if (StartsWith(bytes, kZipSignature)) return workbook::ReadZipWorksheet(workbook, bytes, sheetName);
    } catch (const Error&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw;  // running out of memory has its own message
    } catch (...) {
        // Whatever a library throws on a damaged or unexpected file ends the read here.
        workbook::ThrowNotReadable(workbook);
    }
    workbook::ThrowNotReadable(workbook);
}

}  // namespace trelvant
