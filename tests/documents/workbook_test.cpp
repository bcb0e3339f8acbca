#include "documents/workbook.h"

#include "platform/error.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace trelvant {
namespace {

namespace fs = std::filesystem;

const fs::path kData = TRELVANT_WORKBOOKS_TEST_DATA;
#ifdef TRELVANT_WITH_XLS
const std::vector<std::string> kFormats = {"xls", "xlsx", "ods"};
#else
// A build without FreeXL reads the other two and refuses .xls (WorkbookWithoutXls below).
const std::vector<std::string> kFormats = {"xlsx", "ods"};
#endif

constexpr WorkbookField null = std::nullopt;

// A field that one format's library reads differently from the others, and why.
struct FormatDifference {
    std::string format;
    std::size_t record;
    std::size_t field;
    WorkbookField value;
};

struct ReadCase {
    std::string what;
    std::string file;   // without extension: the same content as .xls, .xlsx and .ods
    std::string asked;  // the sheet name asked for
    std::string name;   // the worksheet's name as the workbook spells it
    std::vector<WorkbookRecord> records;
    std::vector<FormatDifference> differences = {};
};

std::vector<WorkbookRecord> ManyFrames() {
    std::vector<WorkbookRecord> records;
    for (int i = 0; i < 260; ++i)
        records.push_back({std::to_string(61440 + i), std::to_string(i % 240), "N", "Frame " + std::to_string(i), null});
    return records;
}

const std::vector<ReadCase> kReadCases = {
    {"name in another case, found past the worksheet before it; null for empty cells up to the last titled column",
     "receive_frames", "RPDODEF", "rpdodef",
     {{"61444", "0", "Y", "Engine speed", null},
      {"0xFEF1", "3", null, "Vehicle, speed", null},
      {null, "5", null, null, null}}},
    {"the worksheet before it is found by its own name", "receive_frames", "notes", "Notes",
     {{"99999", "1"}, {null, "not this worksheet"}}},
    {"numbers and texts, an empty text cell is null", "transmit_frames", "rpdodef", "RPDODEF",
     {{"6", "0", "61444", "0", "Torque"}, {"7", "1", "$FEF1", "239", null}}},
    {"byte map records", "receive_map", "RInfoCob", "RInfoCob",
     {{"10", "1", "33"}, {"11", "1", "8"}, {"12", "5", "0"}}},
    {"upper-case worksheet name", "receive_map_upper", "RInfoCob", "RINFOCOB",
     {{"10", "1", "33"}, {"11", "1", "8"}, {"12", "5", "0"}}},
    {"frame number 129 and a text index", "receive_map_129", "rinfocob", "RInfoCob",
     {{"10", "129", "33"}, {"0x20", "2", "17"}}},
    {"a text where a number belongs is kept as text", "receive_map_bad_frame", "RInfoCob", "RInfoCob",
     {{"10", "1", "33"}, {"11", "x", "8"}, {"12", "1", "0"}}},
    {"two columns give two fields", "receive_map_two_columns", "RInfoCob", "RInfoCob", {{"10", "1"}, {"11", "1"}}},
    {"transmit byte map", "transmit_map", "TInfoCob", "TInfoCob", {{"10", "1", "33"}, {"$0B", "2", "136"}}},
    {"260 records", "many_frames", "rpdodef", "rpdodef", ManyFrames()},
    {"number forms, formula result, boolean, an empty row kept", "numbers", "Numbers", "numbers",
     {{"61444", "whole"},
      {"-42", "negative whole"},
      {"4294967295", "large whole"},
      {"0.1", "tenth"},
      {"2.5", "two and a half"},
      {"3", "formula"},
      {"1", "boolean"},
      {null, null},
      {"7", "after the empty row"}},
     // FreeXL 1.0.6 does not give the stored result of a formula: it reads as an empty cell.
     {{"xls", 5, 0, null}}},
};

using ReadParam = std::tuple<ReadCase, std::string>;

class WorkbookRead : public testing::TestWithParam<ReadParam> {};

std::string ReadCaseName(const testing::TestParamInfo<ReadParam>& info) {
    return std::get<0>(info.param).file + "_" + std::get<0>(info.param).asked + "_" + std::get<1>(info.param);
}

TEST_P(WorkbookRead, GivesTheRecordsBelowTheTitleRowWithTheirFields) {
    const auto& [c, format] = GetParam();
    std::vector<WorkbookRecord> expected = c.records;
    for (const FormatDifference& difference : c.differences)
        if (difference.format == format) expected.at(difference.record).at(difference.field) = difference.value;

    std::optional<Worksheet> sheet = ReadWorksheet(kData / (c.file + "." + format), c.asked);

    ASSERT_TRUE(sheet.has_value()) << c.what;
    EXPECT_EQ(sheet->name, c.name);
    EXPECT_EQ(sheet->records, expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, WorkbookRead, testing::Combine(testing::ValuesIn(kReadCases), testing::ValuesIn(kFormats)),
                         ReadCaseName);

#ifdef TRELVANT_WITH_XLS
// Excel 5 and 95 workbooks hold 8-bit texts in the workbook's code page: they come out as UTF-8.
TEST(WorkbookXls, ReadsBiff5TextsFromTheirCodePage) {
    std::optional<Worksheet> sheet = ReadWorksheet(kData / "biff5.xls", "rinfocob");
    ASSERT_TRUE(sheet.has_value());
    EXPECT_EQ(sheet->name, "RInfoCob");
    EXPECT_EQ(sheet->records, (std::vector<WorkbookRecord>{
                                  {"10", "1", "33"}, {"11", "1", "8"}, {"K\u00fchler S\u00fcd", "2", "17"}}));
}
#endif

// Formulas give their stored result; one without a stored result or with an error result is an
// empty cell, never a text such as "" or "nan".
TEST(WorkbookFormula, GivesTheStoredResultOrNothing) {
    std::optional<Worksheet> sheet = ReadWorksheet(kData / "formula_results.xlsx", "rpdodef");
    ASSERT_TRUE(sheet.has_value());
    EXPECT_EQ(sheet->records, (std::vector<WorkbookRecord>{{null, null, "ab", null, "2"}}));
}

TEST(WorkbookMissingWorksheet, IsNulloptInEveryFormat) {
    for (const std::string& format : kFormats) {
        SCOPED_TRACE(format);
        EXPECT_EQ(ReadWorksheet(kData / ("receive_frames." + format), "TInfoCob"), std::nullopt);
        // The name must match whole: neither a prefix nor the name with the driver's "$".
        EXPECT_EQ(ReadWorksheet(kData / ("receive_frames." + format), "rpdo"), std::nullopt);
        EXPECT_EQ(ReadWorksheet(kData / ("receive_frames." + format), "rpdodef$"), std::nullopt);
    }
}

std::string ErrorMessage(const fs::path& workbook, std::string_view sheetName) {
    try {
        ReadWorksheet(workbook, sheetName);
    } catch (const Error& error) {
        return error.what();
    }
    return "(no error)";
}

struct UnreadableCase {
    std::string file;
    std::string message;  // what the message holds after the file's path
    std::string sheet = "RInfoCob";
};

TEST(WorkbookUnreadable, EndsTheReadWithError) {
    const std::vector<UnreadableCase> cases = {
        {"not_a_workbook.xls", " is not a workbook that can be read"},
        {"receive_map_truncated.xls", " is not a workbook that can be read"},
        {"receive_map_truncated.xlsx", " is not a workbook that can be read"},
        {"receive_map_truncated.ods", " is not a workbook that can be read"},
        {"zip_not_a_workbook.xlsx", " is not a workbook that can be read"},
        // A part cut off inside a tag: the XML parser must stop at its end, not read past it.
        {"damaged_xml.xlsx", " is not a workbook that can be read"},
        {"damaged_xml.ods", " is not a workbook that can be read"},
        // One value in the worksheet's last cell: the used range is not made billions of cells.
#ifdef TRELVANT_WITH_XLS
        {"far_corner.xls", " is not a workbook that can be read: its worksheet rpdodef spans more than 1048576 cells",
         "rpdodef"},
#endif
        {"far_corner.xlsx", " is not a workbook that can be read: its worksheet rpdodef spans more than 1048576 cells",
         "rpdodef"},
        {"far_corner.ods", " is not a workbook that can be read: its worksheet rpdodef spans more than 1048576 cells",
         "rpdodef"},
    };
    for (const UnreadableCase& c : cases) {
        SCOPED_TRACE(c.file);
        std::string message = ErrorMessage(kData / c.file, c.sheet);
        EXPECT_NE(message.find(c.file + c.message), std::string::npos) << message;
    }
}

// Texts that are not in a shared strings part: inline strings, as many writers store them, and an
// empty shared string, which is an empty cell and not the string before it.
TEST(WorkbookXlsx, ReadsInlineStringsAndAnEmptySharedString) {
    struct Case {
        std::string file;
        std::string sheet;
        std::vector<WorkbookRecord> records;
    };
    const std::vector<Case> cases = {
        {"inline_strings.xlsx", "RInfoCob", {{"10", "1", "33"}, {"0x20", "2", "17"}}},
        {"empty_shared_string.xlsx", "rpdodef", {{"7", null}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::optional<Worksheet> sheet = ReadWorksheet(kData / c.file, c.sheet);
        ASSERT_TRUE(sheet.has_value());
        EXPECT_EQ(sheet->records, c.records);
    }
}

TEST(WorkbookUnreadable, MissingFileOrFolderIsAnError) {
    test::TempFolder folder;
    EXPECT_NE(ErrorMessage(folder / "absent.xls", "rpdodef").find("Unable to read"), std::string::npos);
    EXPECT_NE(ErrorMessage(folder.path(), "rpdodef").find("Unable to read"), std::string::npos);
}

void CopyTo(const fs::path& from, const fs::path& to) {
    fs::create_directories(to.parent_path());
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
}

TEST(WorkbookKind, IsTakenFromTheContentNotTheExtension) {
    test::TempFolder folder;
    const std::vector<std::pair<std::string, std::string>> copies = {
        {"receive_map.xlsx", "xlsx named.xls"}, {"receive_map.ods", "ods named.xlsx"},
#ifdef TRELVANT_WITH_XLS
        {"receive_map.xls", "xls named.ods"}, {"receive_map.xls", "no extension"},
#else
        {"receive_map.ods", "no extension"},
#endif
    };
    for (const auto& [from, to] : copies) {
        SCOPED_TRACE(to);
        CopyTo(kData / from, folder / to);
        std::optional<Worksheet> sheet = ReadWorksheet(folder / to, "RInfoCob");
        ASSERT_TRUE(sheet.has_value());
        EXPECT_EQ(sheet->records.size(), 3u);
        EXPECT_EQ(sheet->records[2], (WorkbookRecord{"12", "5", "0"}));
    }
}

#ifndef TRELVANT_WITH_XLS
// A build without FreeXL knows an .xls workbook by its first bytes, whatever its name, and refuses
// it with the kinds it reads, not as a damaged file.
TEST(WorkbookWithoutXls, RefusesAnXlsWorkbookSayingWhatItReads) {
    test::TempFolder folder;
    CopyTo(kData / "receive_map.xls", folder / "xls named.xlsx");
    for (const fs::path& workbook : {kData / "receive_map.xls", kData / "biff5.xls", folder / "xls named.xlsx"}) {
        SCOPED_TRACE(workbook.string());
        const std::string message = ErrorMessage(workbook, "RInfoCob");
        EXPECT_NE(message.find(workbook.filename().string() +
                               " is not a workbook that can be read: this build reads .xlsx and .ods workbooks only"),
                  std::string::npos)
            << message;
    }
}
#endif

TEST(WorkbookPath, MayHoldCharactersBeyondAscii) {
    test::TempFolder folder;
    for (const std::string& format : kFormats) {
        SCOPED_TRACE(format);
        const fs::path copy = folder.path() / fs::path(u8"Kessel Süd") / fs::path(u8"Übersicht ñ 東").concat("." + format);
        CopyTo(kData / ("receive_map." + format), copy);
        std::optional<Worksheet> sheet = ReadWorksheet(copy, "RInfoCob");
        ASSERT_TRUE(sheet.has_value());
        EXPECT_EQ(sheet->records.front(), (WorkbookRecord{"10", "1", "33"}));
    }
}

void WriteSized(const fs::path& file, std::uintmax_t size, std::string_view start) {
    {
        std::ofstream out(file, std::ios::binary);
        out.write(start.data(), static_cast<std::streamsize>(start.size()));
    }
    fs::resize_file(file, size);  // sparse: no disk used for the zeros
}

TEST(WorkbookSize, AFileAbove64MiBIsRefusedBeforeItIsRead) {
    test::TempFolder folder;
    constexpr std::uintmax_t limit = 64u * 1024u * 1024u;
    const std::string zipStart = std::string("PK\x03\x04", 4);

    WriteSized(folder / "large.xlsx", limit + 1, zipStart);
    std::string message = ErrorMessage(folder / "large.xlsx", "rpdodef");
    EXPECT_NE(message.find("larger than 64 MiB"), std::string::npos) << message;

    // At the limit the file is read, and found not to be a workbook.
    WriteSized(folder / "limit.xlsx", limit, zipStart);
    message = ErrorMessage(folder / "limit.xlsx", "rpdodef");
    EXPECT_NE(message.find("limit.xlsx is not a workbook that can be read"), std::string::npos) << message;
}

}  // namespace
}  // namespace trelvant
