#include "documents/workbook.h"

#include "platform/atomic_file.h"
#include "platform/error.h"
#include "platform/file_names.h"

#include <freexl.h>
#include <orcus/format_detection.hpp>
#include <orcus/orcus_ods.hpp>
#include <orcus/orcus_xlsx.hpp>
#include <orcus/sax_parser.hpp>
#include <orcus/zip_archive.hpp>
#include <orcus/zip_archive_stream.hpp>
#include <orcus/spreadsheet/document.hpp>
#include <orcus/spreadsheet/factory.hpp>
#include <orcus/spreadsheet/sheet.hpp>
#include <ixion/address.hpp>
#include <ixion/cell_access.hpp>
#include <ixion/model_context.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <memory>
#include <new>

namespace trelvant {

namespace {

// Far above any workbook of the four editors' tables (the largest is a few hundred rows).
constexpr std::uintmax_t kMaxWorkbookBytes = 64u * 1024u * 1024u;

// The used range of a worksheet, up to its last row and column, is held whole in memory: a value
// in a far corner (XFD1048576) must not make it billions of cells. The editors' tables are a few
// thousand cells.
constexpr std::uint64_t kMaxWorksheetCells = 1u << 20;

constexpr std::array<unsigned char, 8> kCompoundDocumentSignature = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::array<unsigned char, 4> kZipSignature = {'P', 'K', 0x03, 0x04};

// A worksheet's rows as read, the title row first; a row may be shorter than others.
using CellRows = std::vector<WorkbookRecord>;

[[noreturn]] void ThrowNotReadable(const std::filesystem::path& workbook) {
    throw Error(DisplayPath(workbook) + " is not a workbook that can be read");
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

// A whole number gives its digits alone ("61444", "-3", "4294967295"); any other number the
// shortest decimal that reads back as the same double, never in exponent form. Not a number (a
// formula without a stored result) gives an empty field.
WorkbookField NumberField(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    if (value == 0.0) return "0";  // also -0
    char buffer[400];              // the longest fixed form of a double is 326 characters
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (error != std::errc()) return std::nullopt;
    return std::string(buffer, end);
}

void CheckWorksheetSize(const std::filesystem::path& workbook, std::string_view name, std::uint64_t rows,
                        std::uint64_t columns) {
    if (rows * columns > kMaxWorksheetCells)
        throw Error(DisplayPath(workbook) + " is not a workbook that can be read: its worksheet " + std::string(name) +
                    " spans more than " + std::to_string(kMaxWorksheetCells) + " cells");
}

WorkbookField TextField(std::string_view text) {
    if (text.empty()) return std::nullopt;  // an empty text cell counts as an empty cell
    return std::string(text);
}

// Records are the rows below the title row down to the last row holding a value; every record
// has one field per column up to the last column holding a value in any row.
Worksheet MakeWorksheet(std::string name, CellRows rows) {
    std::size_t lastRow = 0;
    std::size_t width = 0;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = rows[r].size(); c > 0; --c) {
            if (rows[r][c - 1]) {
                lastRow = r + 1;
                width = std::max(width, c);
                break;
            }
        }
    }
    Worksheet sheet{std::move(name), {}};
    if (lastRow > 1) {
        sheet.records.reserve(lastRow - 1);
        for (std::size_t r = 1; r < lastRow; ++r) {
            WorkbookRecord& record = sheet.records.emplace_back(std::move(rows[r]));
            record.resize(width);
        }
    }
    return sheet;
}

// .xls (BIFF5, BIFF8) through FreeXL.

class FreexlHandle {
public:
    FreexlHandle(const std::filesystem::path& file, const std::filesystem::path& workbook) {
        // FreeXL takes the path's bytes; it wants a handle closed even when the open failed.
        int status = freexl_open(file.c_str(), &handle_);
        if (status != FREEXL_OK) {
            Close();
            ThrowNotReadable(workbook);
        }
    }
    ~FreexlHandle() { Close(); }
    FreexlHandle(const FreexlHandle&) = delete;
    FreexlHandle& operator=(const FreexlHandle&) = delete;

    const void* get() const { return handle_; }

private:
    void Close() {
        if (handle_ != nullptr) freexl_close(handle_);
        handle_ = nullptr;
    }

    const void* handle_ = nullptr;
};

WorkbookField XlsField(const FreeXL_CellValue& cell) {
    switch (cell.type) {
    case FREEXL_CELL_INT:
        return std::to_string(cell.value.int_value);
    case FREEXL_CELL_DOUBLE:
        return NumberField(cell.value.double_value);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME:
        return cell.value.text_value == nullptr ? std::nullopt : TextField(cell.value.text_value);
    default:
        return std::nullopt;
    }
}

std::optional<Worksheet> ReadXlsWorksheet(const std::filesystem::path& file, const std::filesystem::path& workbook,
                                          std::string_view sheetName) {
    FreexlHandle xls(file, workbook);
    unsigned int sheetCount = 0;
    if (freexl_get_info(xls.get(), FREEXL_BIFF_SHEET_COUNT, &sheetCount) != FREEXL_OK) ThrowNotReadable(workbook);
    for (unsigned int index = 0; index < sheetCount && index <= 0xFFFF; ++index) {
        const char* name = nullptr;
        if (freexl_get_worksheet_name(xls.get(), static_cast<unsigned short>(index), &name) != FREEXL_OK || name == nullptr)
            ThrowNotReadable(workbook);
        if (!EqualsIgnoringAsciiCase(name, sheetName)) continue;

        std::string foundName = name;
        unsigned int rowCount = 0;
        unsigned short columnCount = 0;
        if (freexl_select_active_worksheet(xls.get(), static_cast<unsigned short>(index)) != FREEXL_OK ||
            freexl_worksheet_dimensions(xls.get(), &rowCount, &columnCount) != FREEXL_OK)
            ThrowNotReadable(workbook);
        CheckWorksheetSize(workbook, foundName, rowCount, columnCount);
        CellRows rows(rowCount, WorkbookRecord(columnCount));
        for (unsigned int r = 0; r < rowCount; ++r) {
            for (unsigned short c = 0; c < columnCount; ++c) {
                FreeXL_CellValue cell{};
                if (freexl_get_cell_value(xls.get(), r, c, &cell) != FREEXL_OK) ThrowNotReadable(workbook);
                rows[r][c] = XlsField(cell);
            }
        }
        return MakeWorksheet(std::move(foundName), std::move(rows));
    }
    return std::nullopt;
}

// .xlsx and .ods through orcus's spreadsheet document.

WorkbookField OrcusField(const ixion::model_context& model, const ixion::abs_address_t& address) {
    ixion::cell_access cell = model.get_cell_access(address);
    // A formula cell's value type and value are its stored result.
    switch (cell.get_value_type()) {
    case ixion::cell_value_t::numeric:
        return NumberField(cell.get_numeric_value());
    case ixion::cell_value_t::boolean:
        return std::string(cell.get_boolean_value() ? "1" : "0");
    case ixion::cell_value_t::string:
        return TextField(cell.get_string_value());
    default:
        return std::nullopt;
    }
}

// orcus 0.17 reads two things of .xlsx wrongly without failing: cells of inline strings
// (t="inlineStr") come out empty, and an empty shared string (<si><t/></si>) takes the text of the
// shared string before it. This scan finds either, so such a workbook is refused, never misread.
class XlsxMisreadScan : public orcus::sax_handler {
public:
    using orcus::sax_handler::attribute;

    void start_element(const orcus::sax::parser_element& element) {
        if (element.name == "si") {
            inItem_ = true;
            itemHasText_ = false;
        } else if (element.name == "rPh") {
            ++phoneticDepth_;  // the reading aid of East Asian text, not part of the string
        } else if (element.name == "t") {
            inText_ = true;
        }
    }
    void end_element(const orcus::sax::parser_element& element) {
        if (element.name == "si" && inItem_) {
            if (!itemHasText_) found = true;
            inItem_ = false;
        } else if (element.name == "rPh" && phoneticDepth_ > 0) {
            --phoneticDepth_;
        } else if (element.name == "t") {
            inText_ = false;
        }
    }
    void characters(std::string_view text, bool /*transient*/) {
        if (inItem_ && inText_ && phoneticDepth_ == 0 && !text.empty()) itemHasText_ = true;
    }
    void attribute(const orcus::sax::parser_attribute& attribute) {
        if (attribute.name == "t" && attribute.value == "inlineStr") found = true;
    }

    bool found = false;

private:
    bool inItem_ = false;
    bool itemHasText_ = false;
    bool inText_ = false;
    int phoneticDepth_ = 0;
};

bool XlsxHasMisreadCells(const std::string& bytes) {
    orcus::zip_archive_stream_blob stream(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    orcus::zip_archive archive(&stream);
    archive.load();
    std::vector<unsigned char> part;
    for (std::size_t index = 0; index < archive.get_file_entry_count(); ++index) {
        std::string_view name = archive.get_file_entry_name(index);
        if (!name.starts_with("xl/") || !name.ends_with(".xml")) continue;
        if (!archive.read_file_entry(name, part)) continue;
        // The parser looks at the character after the last one on damaged XML: a NUL there ends it.
        const std::size_t size = part.size();
        part.push_back('\0');
        XlsxMisreadScan scan;
        orcus::sax_parser<XlsxMisreadScan> parser(reinterpret_cast<const char*>(part.data()), size, scan);
        parser.parse();
        if (scan.found) return true;
    }
    return false;
}

std::optional<Worksheet> ReadZipWorksheet(const std::filesystem::path& workbook, const std::string& bytes,
                                          std::string_view sheetName) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    orcus::format_t format = orcus::detect(data, bytes.size());
    if (format != orcus::format_t::xlsx && format != orcus::format_t::ods) ThrowNotReadable(workbook);
    if (format == orcus::format_t::xlsx && XlsxHasMisreadCells(bytes))
        throw Error(DisplayPath(workbook) +
                    " is not a workbook that can be read: it holds inline or empty shared strings");

    orcus::spreadsheet::document document{orcus::spreadsheet::range_size_t{1048576, 16384}};
    orcus::spreadsheet::import_factory factory{document};
    std::unique_ptr<orcus::iface::import_filter> filter;
    if (format == orcus::format_t::xlsx)
        filter = std::make_unique<orcus::orcus_xlsx>(&factory);
    else
        filter = std::make_unique<orcus::orcus_ods>(&factory);
    filter->read_stream(bytes);

    const ixion::model_context& model = document.get_model_context();
    for (std::size_t index = 0; index < document.get_sheet_count(); ++index) {
        auto position = static_cast<orcus::spreadsheet::sheet_t>(index);
        std::string_view name = document.get_sheet_name(position);
        if (!EqualsIgnoringAsciiCase(name, sheetName)) continue;

        const orcus::spreadsheet::sheet* sheet = document.get_sheet(position);
        if (sheet == nullptr) ThrowNotReadable(workbook);
        CellRows rows;
        ixion::abs_range_t range = sheet->get_data_range();
        if (range.valid() && range.last.row >= 0 && range.last.column >= 0) {
            // Rows and columns before the data range are empty; records still count from row 1.
            auto rowCount = static_cast<std::size_t>(range.last.row) + 1;
            auto columnCount = static_cast<std::size_t>(range.last.column) + 1;
            CheckWorksheetSize(workbook, name, rowCount, columnCount);
            rows.assign(rowCount, WorkbookRecord(columnCount));
            for (ixion::row_t r = std::max<ixion::row_t>(range.first.row, 0); r <= range.last.row; ++r)
                for (ixion::col_t c = std::max<ixion::col_t>(range.first.column, 0); c <= range.last.column; ++c)
                    rows[r][c] = OrcusField(model, ixion::abs_address_t(position, r, c));
        }
        return MakeWorksheet(std::string(name), std::move(rows));
    }
    return std::nullopt;
}

bool StartsWith(const std::string& bytes, const auto& signature) {
    return bytes.size() >= signature.size() &&
           std::equal(signature.begin(), signature.end(), bytes.begin(),
                      [](unsigned char s, char b) { return s == static_cast<unsigned char>(b); });
}

}  // namespace

std::optional<Worksheet> ReadWorksheet(const std::filesystem::path& workbook, std::string_view sheetName) {
    // Refuses a missing file, a device or a pipe, and anything above the cap, before reading it.
    std::string bytes = ReadWholeFile(workbook, kMaxWorkbookBytes);
    try {
        if (StartsWith(bytes, kCompoundDocumentSignature)) return ReadXlsWorksheet(ResolveFileName(workbook), workbook, sheetName);
        if (StartsWith(bytes, kZipSignature)) return ReadZipWorksheet(workbook, bytes, sheetName);
    } catch (const Error&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw;  // running out of memory has its own message
    } catch (...) {
        // Whatever either library throws on a damaged or unexpected file ends the read here.
        ThrowNotReadable(workbook);
    }
    ThrowNotReadable(workbook);
}

}  // namespace trelvant
