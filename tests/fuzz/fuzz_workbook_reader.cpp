// The workbook reader on .xls, .xlsx and .ods files.
//
// Input: one byte of mode, then
//  - mode 'f' (or any byte not below): the rest is the workbook file as it stands;
//  - mode 'x': the parts of an .xlsx cut by the separator line, in this order: [Content_Types].xml,
//    _rels/.rels, xl/workbook.xml, xl/_rels/workbook.xml.rels, xl/worksheets/sheet1.xml,
//    xl/sharedStrings.xml;
//  - mode 'o': the parts of an .ods: mimetype, content.xml.
// The parts are stored in a zip made here with correct checksums, so that changes to the XML reach
// the parser instead of failing the zip's checksum. A workbook read is checked for the shape of
// its records and the bounds of the reader; a refusal must be the reader's error.
#include "documents/workbook.h"
#include "platform/error.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/stored_zip.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using namespace trelvant;
using fuzz::Check;

namespace {

constexpr std::array<const char*, 6> kXlsxParts = {"[Content_Types].xml", "_rels/.rels", "xl/workbook.xml",
                                                   "xl/_rels/workbook.xml.rels", "xl/worksheets/sheet1.xml",
                                                   "xl/sharedStrings.xml"};
constexpr std::array<const char*, 2> kOdsParts = {"mimetype", "content.xml"};

template <std::size_t N>
std::string ZipOfParts(const std::uint8_t* data, std::size_t size, const std::array<const char*, N>& names)
{
    const std::vector<std::string_view> parts = fuzz::SplitInput(data, size, names.size());
    std::vector<test::ZipEntry> entries;
    for (std::size_t n = 0; n < parts.size(); ++n) entries.emplace_back(names[n], parts[n]);
    return test::StoredZip(entries);
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i])) return false;
    return true;
}

// Every record as wide as the others, no empty text, the bounds kept, the last record holding a
// value (the title row alone may hold the widest column).
void CheckShape(const Worksheet& sheet)
{
    std::uint64_t cells = 0;
    std::uint64_t text = 0;
    const std::size_t width = sheet.records.empty() ? 0 : sheet.records.front().size();
    for (const WorkbookRecord& record : sheet.records) {
        Check(record.size() == width, "records of different widths");
        cells += record.size();
        for (const WorkbookField& field : record) {
            if (!field) continue;
            Check(!field->empty(), "an empty text where an empty cell belongs");
            text += field->size();
        }
    }
    Check(cells <= (1u << 20), "more cells than the reader's bound");
    Check(text <= 16u * 1024u * 1024u, "more text than the reader's bound");
    if (!sheet.records.empty()) {
        const WorkbookRecord& last = sheet.records.back();
        bool lastRowUsed = false;
        for (const WorkbookField& field : last) lastRowUsed = lastRowUsed || field.has_value();
        Check(lastRowUsed, "a last record without a value");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    std::string file;
    switch (data[0]) {
    case 'x':
        file = ZipOfParts(data + 1, size - 1, kXlsxParts);
        break;
    case 'o':
        file = ZipOfParts(data + 1, size - 1, kOdsParts);
        break;
    default:
        file.assign(reinterpret_cast<const char*>(data + 1), size - 1);
        break;
    }
    const std::filesystem::path workbook = fuzz::FreshFolder("workbook") / "book";
    fuzz::WriteBytes(workbook, file);

    for (const char* sheetName : {"rpdodef", "RInfoCob"}) {
        std::optional<Worksheet> sheet;
        try {
            sheet = ReadWorksheet(workbook, sheetName);
        } catch (const Error& e) {
            const std::string message = e.what();
            Check(message.find(" is not a workbook that can be read") != std::string::npos ||
                      message.find("Unable to read") != std::string::npos,
                  "a refusal without the reader's message: " + message);
            continue;
        }
        if (!sheet) continue;
        Check(EqualsNoCase(sheet->name, sheetName), "a worksheet of another name: " + sheet->name);
        CheckShape(*sheet);
    }
    return 0;
}
