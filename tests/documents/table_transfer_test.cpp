#include "documents/table_transfer.h"
#include "platform/error.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace trelvant {
namespace {

const WorkbookField kEmpty = std::nullopt;

// A byte map of frame entries numbered from 1, each holding one register entry of its own that
// the import must drop.
ByteMap FramesWithOldEntries(int frames, Direction direction)
{
    ByteMap map(static_cast<std::size_t>(frames));
    for (int f = 0; f < frames; ++f) {
        map[f].PGN = std::to_string(61441 + f);
        map[f].NrPdo = f + 1;
        map[f].registers.push_back({"99" + std::to_string(f), "0", direction == Direction::Transmit ? "1" : ""});
    }
    return map;
}

TEST(FrameListImport, RecordsFillTheGridFromRowOneWithTheEditorsDataColumns)
{
    const std::vector<WorkbookRecord> records = {
        {"61444", "0", "Y", "Engine speed", "dropped", "dropped too"},
        {"0xFEF1", "3", kEmpty, "Vehicle, speed"},
        {kEmpty, "5"},
    };
    const FrameListImport receive = ImportFrameRows(records, Direction::Receive);
    ASSERT_EQ(receive.rows.size(), kMaxFrames);
    EXPECT_EQ(receive.rows[0], (FrameRow{"61444", "0", "Y", "Engine speed"}));
    EXPECT_EQ(receive.rows[1], (FrameRow{"0xFEF1", "3", "", "Vehicle, speed"}));
    EXPECT_EQ(receive.rows[2], (FrameRow{"", "5", "", ""}));
    EXPECT_EQ(receive.rows[3], FrameRow(4));
    EXPECT_EQ(receive.rows[249], FrameRow(4));
    EXPECT_EQ(receive.leftOut, 0u);

    const FrameListImport transmit = ImportFrameRows(records, Direction::Transmit);
    EXPECT_EQ(transmit.rows[0], (FrameRow{"61444", "0", "Y", "Engine speed", "dropped"}));
    EXPECT_EQ(transmit.rows[2], (FrameRow{"", "5", "", "", ""}));
}

// The list ends before the first record without its first field; records holding a value after
// that one are named, so that they are not lost unasked.
TEST(FrameListImport, RecordsAfterARecordWithoutItsFirstFieldAreCounted)
{
    struct Case {
        const char* what;
        std::vector<WorkbookRecord> records;
        std::optional<std::size_t> endsAt;
        std::size_t after;
    };
    const std::vector<Case> cases = {
        {"an empty record between two", {{"1", "1"}, {}, {"2", "2"}}, 1, 1},
        {"an empty first record", {{kEmpty, kEmpty}, {"1", "1"}, {"2", "2"}}, 0, 2},
        {"a record of empty texts, then one and an empty one", {{"1"}, {"", ""}, {"2"}, {}, {"3"}}, 1, 2},
        {"a record without its first field ending the worksheet", {{"1", "1"}, {kEmpty, "5"}}, std::nullopt, 0},
        {"values only beyond the editor's columns after it", {{"1"}, {}, {kEmpty, kEmpty, kEmpty, kEmpty, "x"}},
         std::nullopt, 0},
        {"no gap", {{"1"}, {"2"}}, std::nullopt, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const FrameListImport import = ImportFrameRows(c.records, Direction::Receive);
        EXPECT_EQ(import.endsAt, c.endsAt);
        EXPECT_EQ(import.after, c.after);
        // The records after the gap are taken as they stand all the same.
        EXPECT_EQ(import.rows[c.records.size() - 1][0], c.records.back().empty() || !c.records.back()[0]
                                                             ? std::string()
                                                             : *c.records.back()[0]);
    }
}

// A character below 0x20 but tab, line feed and carriage return would give a document that XML
// readers refuse (0x00 would cut the text): the import is refused naming the cell.
TEST(TableImports, RefuseControlCharactersNamingTheCell)
{
    struct Case {
        const char* what;
        std::vector<WorkbookRecord> records;
        bool byteMap;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"0x00 in a mnemonic", {{"1", "1", "N", std::string("Eng\0ine", 7)}}, false,
         "cell D2 (record 1) holds the control character 0x00, which a document cannot hold"},
        {"0x01 in a frame's second record", {{"1", "1"}, {"2", "\x01"}}, false,
         "cell B3 (record 2) holds the control character 0x01, which a document cannot hold"},
        {"escape after an empty record", {{"1"}, {}, {"3", "3", "N", "a\x1B[0m"}}, false,
         "cell D4 (record 3) holds the control character 0x1B, which a document cannot hold"},
        {"0x1F in an Index", {{"10", "1", "33"}, {"\x1F", "1", "8"}}, true,
         "cell A3 (record 2) holds the control character 0x1F, which a document cannot hold"},
        {"0x0B in a frame number, before it is read as a number", {{"10", "1\x0B", "33"}}, true,
         "cell B2 (record 1) holds the control character 0x0B, which a document cannot hold"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ByteMap map = FramesWithOldEntries(2, Direction::Receive);
        const ByteMap before = map;
        try {
            if (c.byteMap) ImportByteMapRecords(map, c.records, Direction::Receive);
            else ImportFrameRows(c.records, Direction::Receive);
            ADD_FAILURE() << "imported";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
        EXPECT_EQ(map, before);
    }

    // Tab, line feed and carriage return stay, as does anything from 0x20 up; fields beyond the
    // editor's columns are not taken, nor looked at.
    const FrameListImport kept = ImportFrameRows({{"1", "1", "N", "a\tb\r\nc\x7F", "\x01"}}, Direction::Receive);
    EXPECT_EQ(kept.rows[0][3], "a\tb\r\nc\x7F");
    ByteMap map = FramesWithOldEntries(1, Direction::Receive);
    EXPECT_EQ(ImportByteMapRecords(map, {{"10", "1", "3\t"}, {"11", "5", "\x02"}}, Direction::Receive).imported, 1u);
}

TEST(FrameListImport, RecordsBeyondTheGridAreCountedNotTaken)
{
    std::vector<WorkbookRecord> records;
    for (int i = 0; i < 260; ++i) records.push_back({std::to_string(61440 + i), std::to_string(i % 240)});
    const FrameListImport import = ImportFrameRows(records, Direction::Receive);
    ASSERT_EQ(import.rows.size(), kMaxFrames);
    EXPECT_EQ(import.rows[249], (FrameRow{"61689", "9", "", ""}));
    EXPECT_EQ(import.leftOut, 10u);
    EXPECT_EQ(ImportFrameRows({}, Direction::Receive).leftOut, 0u);
}

struct ByteMapCase {
    const char* name;
    Direction direction;
    std::vector<WorkbookRecord> records;
    std::vector<std::vector<TClIndMB>> registers;  // per frame entry after the import
    std::size_t skipped;
    std::optional<std::size_t> stoppedAt;

    friend void PrintTo(const ByteMapCase& c, std::ostream* os) { *os << c.name; }
};

class ByteMapImports : public testing::TestWithParam<ByteMapCase> {};

TEST_P(ByteMapImports, DropEveryEntryThenAppendByFrameNumber)
{
    const ByteMapCase& c = GetParam();
    ByteMap map = FramesWithOldEntries(2, c.direction);
    const ByteMapImport import = ImportByteMapRecords(map, c.records, c.direction);
    ASSERT_EQ(map.size(), 2u);
    EXPECT_EQ(map[0].registers, c.registers[0]);
    EXPECT_EQ(map[1].registers, c.registers[1]);
    EXPECT_EQ(map[0].NrPdo, 1);
    EXPECT_EQ(import.skipped, c.skipped);
    EXPECT_EQ(import.stoppedAt, c.stoppedAt);
    EXPECT_EQ(import.stopReason.empty(), !c.stoppedAt);
}

INSTANTIATE_TEST_SUITE_P(
    Records, ByteMapImports,
    testing::Values(
        ByteMapCase{"three records into two frames",
                    Direction::Receive,
                    {{"10", "1", "33"}, {"11", "1", "8"}, {"12", "5", "0"}},
                    {{{"10", "33", ""}, {"11", "8", ""}}, {}},
                    1,
                    std::nullopt},
        ByteMapCase{"frame number 129 is frame 1, texts kept as typed",
                    Direction::Receive,
                    {{"10", "129", "33"}, {"0x20", "$02", "17"}, {kEmpty, "2", kEmpty}},
                    {{{"10", "33", ""}}, {{"0x20", "17", ""}, {"", "", ""}}},
                    0,
                    std::nullopt},
        ByteMapCase{"transmit entries are not written on request",
                    Direction::Transmit,
                    {{"10", "1", "33"}, {"$0B", "2", "136"}},
                    {{{"10", "33", "0"}}, {{"$0B", "136", "0"}}},
                    0,
                    std::nullopt},
        ByteMapCase{"a frame number that is not an integer stops the import",
                    Direction::Receive,
                    {{"10", "1", "33"}, {"11", "x", "8"}, {"12", "1", "0"}},
                    {{{"10", "33", ""}}, {}},
                    0,
                    1},
        ByteMapCase{"an empty frame number stops it",
                    Direction::Receive,
                    {{"10", kEmpty, "33"}, {"12", "1", "0"}},
                    {{}, {}},
                    0,
                    0},
        ByteMapCase{"frame number 128 is frame 0 and stops it",
                    Direction::Receive,
                    {{"10", "2", "33"}, {"11", "128", "8"}},
                    {{}, {{"10", "33", ""}}},
                    0,
                    1},
        ByteMapCase{"a worksheet of two columns stops at its first record",
                    Direction::Receive,
                    {{"10", "1"}, {"11", "1"}},
                    {{}, {}},
                    0,
                    0},
        ByteMapCase{"no records leaves every frame empty", Direction::Transmit, {}, {{}, {}}, 0, std::nullopt}));

// An import is refused as the build would refuse its document: more register entries than the
// image's map table holds. The byte map keeps what it held; records of frames beyond the list do
// not count, as they are not imported.
TEST(ByteMapImportRoom, MoreEntriesThanTheImageHoldsAreRefusedAndChangeNothing)
{
    struct Case {
        Direction direction;
        std::size_t room;
        const char* message;
    };
    for (const Case& c : {Case{Direction::Receive, 2912,
                               "the worksheet gives 2913 register entries, and the receive byte map holds at most 2912 rows"},
                          Case{Direction::Transmit, 2976,
                               "the worksheet gives 2977 register entries, and the transmit byte map holds at most 2976 rows"}}) {
        SCOPED_TRACE(c.room);
        std::vector<WorkbookRecord> records;
        for (std::size_t r = 0; r < c.room; ++r) records.push_back({std::to_string(r), r % 2 ? "1" : "2", "1"});
        records.push_back({"skipped", "3", "1"});

        ByteMap full = FramesWithOldEntries(2, c.direction);
        EXPECT_EQ(ImportByteMapRecords(full, records, c.direction).imported, c.room);
        EXPECT_EQ(full[0].registers.size() + full[1].registers.size(), c.room);

        records.push_back({"one more", "1", "1"});
        ByteMap map = FramesWithOldEntries(2, c.direction);
        const ByteMap before = map;
        try {
            ImportByteMapRecords(map, records, c.direction);
            ADD_FAILURE() << "the import was not refused";
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
        EXPECT_EQ(map, before);
    }
}

// What the editor says when an import is taken: registers imported and the rows skipped, each
// named by its worksheet row (the title is row 1) and the frame it names, up to three of them.
TEST(ByteMapImportSummary, NamesTheSkippedRowsByWorksheetRowAndFrame)
{
    struct Case {
        const char* name;
        int frames;
        std::vector<WorkbookRecord> records;
        std::vector<SkippedRecord> skipped;
        const char* summary;
    };
    const Case cases[] = {
        {"nothing skipped", 2, {{"10", "1", "33"}, {"11", "2", "8"}}, {}, "RInfoCob: 2 registers imported"},
        {"one register", 2, {{"10", "1", "33"}}, {}, "RInfoCob: 1 register imported"},
        {"no records", 2, {}, {}, "RInfoCob: 0 registers imported"},
        {"frame 9 of a list of 4",
         4,
         {{"10", "1", "33"}, {"11", "9", "8"}, {"12", "2", "0"}, {"13", "4", "1"}},
         {{1, 9}},
         "RInfoCob: 3 registers imported, 1 row skipped: row 3 names frame 9, the list has 4"},
        {"frame 137 is frame 9", 4, {{"11", "137", "8"}}, {{0, 9}},
         "RInfoCob: 0 registers imported, 1 row skipped: row 2 names frame 9, the list has 4"},
        {"two rows", 2, {{"10", "5", "1"}, {"11", "1", "1"}, {"12", "6", "1"}}, {{0, 5}, {2, 6}},
         "RInfoCob: 1 register imported, 2 rows skipped: row 2 names frame 5, row 4 names frame 6; the list has 2"},
        {"three named, two more",
         1,
         {{"1", "2", "1"}, {"2", "3", "1"}, {"3", "1", "1"}, {"4", "4", "1"}, {"5", "5", "1"}, {"6", "6", "1"}},
         {{0, 2}, {1, 3}, {3, 4}, {4, 5}, {5, 6}},
         "RInfoCob: 1 register imported, 5 rows skipped: row 2 names frame 2, row 3 names frame 3, "
         "row 5 names frame 4 and 2 more; the list has 1"},
        {"an empty frame list", 0, {{"1", "1", "1"}}, {{0, 1}},
         "RInfoCob: 0 registers imported, 1 row skipped: row 2 names frame 1, the list has 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ByteMap map = FramesWithOldEntries(c.frames, Direction::Receive);
        const ByteMapImport import = ImportByteMapRecords(map, c.records, Direction::Receive);
        EXPECT_EQ(import.skippedRecords, c.skipped);
        EXPECT_EQ(import.skipped, c.skipped.size());
        EXPECT_EQ(ByteMapImportSummary(import, "RInfoCob", map.size()), c.summary);
    }
}

TEST(Exports, FrameListLinesEndAtTheFirstRowWithoutItsFirstColumn)
{
    EXPECT_EQ(FrameListCsv({{"61444", "0", "Y", "Engine"}, {"0xFEF1", "3", "", ""}, {"", "7"}, {"1", "2"}}),
              "cobid,id_dev_orig,en_bypass,posind,n_tpdo \r\n"
              "61444,0,0,0,0\r\n"
              "0xFEF1,3,0,0,0\r\n");
    EXPECT_EQ(FrameListCsv({}), "cobid,id_dev_orig,en_bypass,posind,n_tpdo \r\n");
    // Transmit rows give their Priority and Data Page; a comma in a value goes in unchanged.
    EXPECT_EQ(FrameListCsv({{"6", "0,1", "61444", "0", "Torque"}}),
              "cobid,id_dev_orig,en_bypass,posind,n_tpdo \r\n6,0,1,0,0,0\r\n");

    std::vector<FrameRow> full(260, FrameRow{"61444", "0", "N", ""});
    const std::string csv = FrameListCsv(full);
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 251);
}

TEST(Exports, ByteMapLinesFollowTheFramesAndEndWithAComma)
{
    ByteMap map = FramesWithOldEntries(3, Direction::Transmit);
    map[0].registers = {{"10", "33", "1"}, {"11", "8", "0"}};
    map[1].registers.clear();
    map[2].registers = {{"$0B", "136", "0"}};
    EXPECT_EQ(ByteMapCsv(map), "10,1,33,\r\n11,1,8,\r\n$0B,3,136,\r\n");
    for (TClPdo& frame : map) frame.registers.clear();
    EXPECT_EQ(ByteMapCsv(map), "");
}

TEST(Exports, TheFileIsReplacedWholeInTheProjectFolder)
{
    test::TempFolder project;
    const std::filesystem::path path = ExportPath(project.path(), ByteMapSheet(Direction::Receive));
    EXPECT_EQ(path, project / "RInfoCob.csv");
    EXPECT_EQ(ExportPath(project.path(), kFrameListSheet), project / "rpdodef.csv");
    test::WriteText(path, "an older and much longer export\r\n");
    WriteExport(path, "10,1,33,\r\n");
    EXPECT_EQ(test::ReadText(path), "10,1,33,\r\n");
    EXPECT_THROW(WriteExport(project / "missing folder" / "rpdodef.csv", "x"), Error);
}

}  // namespace
}  // namespace trelvant
