// Workbooks as real writers store them (openpyxl, xlsxwriter, odfpy, LibreOffice Calc), read back
// whole, and hostile workbooks that a reader must refuse without running out of time, memory or
// stack. tests/data/workbooks/README.md tells what each file holds.

#include "documents/workbook.h"

#include "platform/error.h"
#ifdef TRELVANT_WITH_XLS
#include "platform/isolated_call.h"
#endif

#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace trelvant {
namespace {

namespace fs = std::filesystem;

const fs::path kData = TRELVANT_WORKBOOKS_TEST_DATA;

constexpr WorkbookField null = std::nullopt;

// Worksheet rpdodef of every writers_* workbook, as the content was given to each writer: blanks at
// either end, inside and alone; number forms; texts beyond ASCII, with a line break, with a tab;
// TRUE and FALSE; the formula results 3, "ab" and TRUE; a division by zero; rich text; an empty
// text; equal rows of equal cells; two formatted empty rows; equal rows at the end. Below them a
// formatted empty area, two columns wider than the titles, which gives neither records nor fields.
std::vector<WorkbookRecord> FrameListRecords()
{
    return {
        {" 5", "5 ", "a  b", "   ", "0xFEF1"},
        {"61444", "-42", "0.1", "2.5", "4294967295"},
        {"K\u00fchler S\u00fcd", "\u6771", "$0B", "line 1\nline 2", "a\tb"},
        {"1", "0", "3", "ab", "1"},
        {null, "bold plain", null, null, "end"},
        {"N", "N", "N", "7", "7"},
        {"N", "N", "N", "7", "7"},
        {"N", "N", "N", "7", "7"},
        {null, null, null, null, null},
        {null, null, null, null, null},
        {"9", "9", "9", "9", "9"},
        {"9", "9", "9", "9", "9"},
    };
}

// Worksheet RInfoCob, after rpdodef: equal rows, equal cells, equal rows at the end.
std::vector<WorkbookRecord> ByteMapRecords()
{
    return {
        {"10", "1", "33"}, {"11", "1", "8"}, {"11", "1", "8"}, {"11", "1", "8"},
        {"0x20", "2", "17"}, {"5", "5", "5"}, {"12", "5", "0"}, {"12", "5", "0"},
    };
}

// A field the file holds otherwise than the content gave it, or that the library below cannot give.
struct StoredOtherwise {
    std::size_t record;
    std::size_t field;
    WorkbookField value;
};

struct WriterCase {
    std::string file;
    std::string sheet;
    std::vector<WorkbookRecord> records;
    std::vector<StoredOtherwise> otherwise = {};
};

// openpyxl stores a formula without its result (<v></v>).
const std::vector<StoredOtherwise> kOpenpyxlFormulas = {{3, 2, null}, {3, 3, null}, {3, 4, null}};
// LibreOffice drops a tab from a cell's text when it loads a document.
const std::vector<StoredOtherwise> kLibreOfficeTab = {{2, 4, "ab"}};
// The tab as above; the .xls holds the formula results 3, 0 (LibreOffice stores the text result
// "ab" as the number 0) and 1, which FreeXL does not give.
const std::vector<StoredOtherwise> kLibreOfficeXls = {{2, 4, "ab"}, {3, 2, null}, {3, 3, null}, {3, 4, null}};

const std::vector<WriterCase> kWriterCases = {
    {"writers_openpyxl.xlsx", "rpdodef", FrameListRecords(), kOpenpyxlFormulas},
    {"writers_openpyxl.xlsx", "RInfoCob", ByteMapRecords()},
    {"writers_xlsxwriter.xlsx", "rpdodef", FrameListRecords()},
    {"writers_xlsxwriter.xlsx", "RInfoCob", ByteMapRecords()},
    {"writers_odfpy.ods", "rpdodef", FrameListRecords()},
    {"writers_odfpy.ods", "RInfoCob", ByteMapRecords()},
    {"writers_libreoffice.xlsx", "rpdodef", FrameListRecords(), kLibreOfficeTab},
    {"writers_libreoffice.xlsx", "RInfoCob", ByteMapRecords()},
    {"writers_libreoffice.ods", "rpdodef", FrameListRecords(), kLibreOfficeTab},
    {"writers_libreoffice.ods", "RInfoCob", ByteMapRecords()},
#ifdef TRELVANT_WITH_XLS
    {"writers_libreoffice.xls", "rpdodef", FrameListRecords(), kLibreOfficeXls},
    {"writers_libreoffice.xls", "RInfoCob", ByteMapRecords()},
#endif
};

void PrintTo(const WriterCase& c, std::ostream* out) { *out << c.file << ", worksheet " << c.sheet; }

class WorkbookFromWriters : public testing::TestWithParam<WriterCase> {};

// A test name from a file name: its dots become underscores.
std::string TestName(std::string name)
{
    for (char& c : name)
        if (c == '.') c = '_';
    return name;
}

TEST_P(WorkbookFromWriters, ReadsBackTheCellsTheWorkbookWasMadeFrom)
{
    const WriterCase& c = GetParam();
    std::vector<WorkbookRecord> expected = c.records;
    for (const StoredOtherwise& field : c.otherwise) expected.at(field.record).at(field.field) = field.value;

    std::optional<Worksheet> sheet = ReadWorksheet(kData / c.file, c.sheet);

    ASSERT_TRUE(sheet.has_value());
    EXPECT_EQ(sheet->name, c.sheet);
    ASSERT_EQ(sheet->records.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(sheet->records[i], expected[i]) << "record " << i;
}

INSTANTIATE_TEST_SUITE_P(Writers, WorkbookFromWriters, testing::ValuesIn(kWriterCases),
                         [](const testing::TestParamInfo<WriterCase>& info) {
                             return TestName(info.param.file + "_" + info.param.sheet);
                         });

std::string NotReadable(const std::string& file) { return file + " is not a workbook that can be read"; }

#ifdef TRELVANT_WITH_XLS
// LibreOffice stores an empty text cell of an .xls as an empty text in the shared strings, which
// FreeXL 1.0.6 cannot open: the reader gives the empty cell or refuses the workbook, never
// anything else.
TEST(WorkbookFromWritersXls, AnEmptySharedTextIsAnEmptyCellOrTheWorkbookIsRefused)
{
    const std::string file = "writers_libreoffice_empty_text.xls";
    try {
        std::optional<Worksheet> sheet = ReadWorksheet(kData / file, "rpdodef");
        ASSERT_TRUE(sheet.has_value());
        EXPECT_EQ(sheet->records, (std::vector<WorkbookRecord>{{"7", null}}));
    } catch (const Error& error) {
        EXPECT_NE(std::string(error.what()).find(NotReadable(file)), std::string::npos) << error.what();
    }
}
#endif

struct HostileCase {
    std::string file;
    std::string sheet;
    std::string what;
};

const std::vector<HostileCase> kHostileCases = {
    {"hostile_zip_bomb.xlsx", "RInfoCob", "a worksheet part of 300 MiB of blanks in a file of 300 KiB"},
    {"hostile_claims_4gb.xlsx", "RInfoCob", "the zip claims 0xFFFFFFFE bytes for a worksheet part of 444"},
    {"hostile_repeat_columns.ods", "RInfoCob", "a cell with a value repeated 100,000,000 times in its row"},
    {"hostile_repeat_rows.ods", "RInfoCob", "a row of values repeated 1,000,000,000 times"},
    {"hostile_huge_shared_string.xlsx", "RInfoCob", "one shared string of 10 MiB in 200 cells"},
    {"hostile_missing_part.xlsx", "RInfoCob", "the worksheet's part is named but not in the zip"},
    {"hostile_missing_shared_strings.xlsx", "RInfoCob", "cells of shared strings without a shared strings part"},
    {"hostile_shared_string_index.xlsx", "RInfoCob", "a shared string index one past the table"},
    {"hostile_bad_compression.xlsx", "RInfoCob", "the worksheet part stored with compression method 77"},
    {"hostile_corrupt_deflate.xlsx", "RInfoCob", "the worksheet part's deflate stream starts with a bad block"},
    {"hostile_bad_crc.xlsx", "RInfoCob", "the worksheet part inflates whole but its CRC does not match"},
    {"hostile_damaged_shared_strings.xlsx", "RInfoCob", "the shared strings part cut off inside a tag"},
    {"hostile_deep_nesting.xlsx", "RInfoCob", "an inline string of runs nested 1,000,000 deep"},
    {"hostile_deep_nesting.ods", "RInfoCob", "a paragraph of spans nested 1,000,000 deep"},
    {"hostile_content_missing.ods", "RInfoCob", "an .ods without content.xml"},
    {"hostile_blanks.ods", "RInfoCob", "a row of 200 cells of 15,000,000 blanks each in 600 bytes"},
#ifdef TRELVANT_WITH_XLS
    {"hostile_sheet_offsets.xls", "RInfoCob", "20,000 worksheets that all begin at the stream's start"},
#endif
};

void PrintTo(const HostileCase& c, std::ostream* out) { *out << c.file << ": " << c.what; }

class WorkbookHostile : public testing::TestWithParam<HostileCase> {};

TEST_P(WorkbookHostile, IsRefusedWithTheReadersError)
{
    const HostileCase& c = GetParam();
    try {
        ReadWorksheet(kData / c.file, c.sheet);
        ADD_FAILURE() << c.file << " was read: " << c.what;
    } catch (const Error& error) {
        EXPECT_NE(std::string(error.what()).find(NotReadable(c.file)), std::string::npos) << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Files, WorkbookHostile, testing::ValuesIn(kHostileCases),
                         [](const testing::TestParamInfo<HostileCase>& info) { return TestName(info.param.file); });

#ifdef TRELVANT_WITH_XLS
// Each text is counted as it is read: the texts of the workbooks that would be gigabytes are
// refused within the memory of a child process that holds a little more than the bound.
TEST(WorkbookHostileTexts, AreRefusedBeforeTheyAreHeld)
{
    IsolationLimits limits;
    limits.memoryBytes = 192u * 1024u * 1024u;
    for (const char* file : {"hostile_blanks.ods", "hostile_huge_shared_string.xlsx"}) {
        SCOPED_TRACE(file);
        const IsolatedResult result = RunIsolated(
            [&] {
                try {
                    ReadWorksheet(kData / file, "RInfoCob");
                } catch (const Error& error) {
                    return std::string(error.what());
                }
                return std::string("(read)");
            },
            limits);
        ASSERT_EQ(result.outcome, IsolatedResult::Outcome::Done);
        EXPECT_EQ(result.output, (kData / file).string() +
                                     " is not a workbook that can be read: the texts of its worksheet RInfoCob are "
                                     "larger than 16 MiB");
    }
}
#endif

// Hostile in shape, yet within every bound: read whole.
TEST(WorkbookHostileButReadable, IsReadAsIfItWereOrdinary)
{
    struct Case {
        std::string file;
        std::vector<WorkbookRecord> records;
    };
    const std::vector<Case> cases = {
        // Empty cells repeated billions of times right of and below the values (counts beyond
        // 2^31 and 2^32 among them) hold nothing.
        {"hostile_repeat_empty.ods", {{"10", "1", "33"}, {"0x20", "2", "17"}}},
        // Spans nested 500,000 deep in a paragraph: a walk on the call stack would overflow it.
        {"hostile_deep_spans.ods", {{"10", "1", "33"}, {"deep", null, null}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::optional<Worksheet> sheet = ReadWorksheet(kData / c.file, "RInfoCob");
        ASSERT_TRUE(sheet.has_value());
        EXPECT_EQ(sheet->records, c.records);
    }
}

}  // namespace
}  // namespace trelvant
