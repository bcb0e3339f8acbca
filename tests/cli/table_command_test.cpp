#include "documents/byte_map_document.h"
#include "documents/frame_list_document.h"
#include "platform/file_names.h"
#include "tests/cli/run_tool.h"
#include "tests/support/stored_zip.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace trelvant {
namespace {

using test::ReadText;
using test::RunTool;
using test::TempFolder;
using test::WriteText;

std::string Workbook(const std::string& name)
{
    return TRELVANT_WORKBOOKS "/" + name;
}

// The name of a workbook that these tests read as .xls; a build without FreeXL reads the same
// content as .xlsx.
std::string Xls(const std::string& stem)
{
#ifdef TRELVANT_WITH_XLS
    return stem + ".xls";
#else
    return stem + ".xlsx";
#endif
}

const char* const kReceiveFrames = R"(<COBID><row PGN="1" ID_DEV="1" Delete="N" Mnemonic=""/><row PGN="2" ID_DEV="2" Delete="N" Mnemonic=""/></COBID>)";
const char* const kTransmitFrames =
    R"(<COBID><row Priority="6" DP="0" PGN="1" ID_DEV="1" Mnemonic=""/><row Priority="6" DP="0" PGN="2" ID_DEV="2" Mnemonic=""/></COBID>)";
const char* const kReceiveMap = R"(<RInfoCob><row Index="40" NrPdo="1" PosComp="1"/></RInfoCob>)";

// Two frames each way and a receive byte map that every import replaces.
struct Project {
    TempFolder folder;
    Project()
    {
        WriteText(folder / "RCobDef.xml", kReceiveFrames);
        WriteText(folder / "TCobDef.xml", kTransmitFrames);
        WriteText(folder / "RInfoCob.xml", kReceiveMap);
    }
    std::string path() const { return folder.path().string(); }
    std::string read(const char* name) const { return ReadText(folder / name); }
};

TEST(CliImport, FrameListsAreReplacedAsTheEditorsOkWritesThem)
{
    Project project;
    test::ToolRun run = RunTool({"import", project.path(), Workbook(Xls("receive_frames")), "--into", "receive-frames"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out + run.err, "");
    // The third record has no PGN: the list ends before it.
    EXPECT_EQ(project.read("RCobDef.xml"),
              FrameListXml(Direction::Receive, {{"61444", "0", "Y", "Engine speed"}, {"0xFEF1", "3", "", "Vehicle, speed"}}));

    run = RunTool({"import", project.path(), Workbook("transmit_frames.xlsx"), "--into", "TRANSMIT-FRAMES"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(project.read("TCobDef.xml"),
              FrameListXml(Direction::Transmit, {{"6", "0", "61444", "0", "Torque"}, {"7", "1", "$FEF1", "239", ""}}));
}

TEST(CliImport, RecordsBeyondTheListAreToldAndLeftOut)
{
    Project project;
    const test::ToolRun run = RunTool({"import", project.path(), Workbook("many_frames.ods"), "--into", "receive-frames"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("the last 10 records were not imported"), std::string::npos) << run.err;
    const FrameListLoad load = ReadFrameListForEditor(project.folder / "RCobDef.xml", Direction::Receive);
    ASSERT_EQ(load.rows.size(), kMaxFrames);
    EXPECT_EQ(load.rows.back(), (FrameRow{"61689", "9", "N", "Frame 249"}));
}

TEST(CliImport, ByteMapsAreReplacedAndWrittenInIndexOrder)
{
    Project project;
    test::ToolRun run = RunTool({"import", project.path(), Workbook("receive_map_129.xlsx"), "--into", "receive-map"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(project.read("RInfoCob.xml"),
              R"(<RInfoCob><row Index="10" NrPdo="1" PosComp="33"/><row Index="0x20" NrPdo="2" PosComp="17"/></RInfoCob>)");

    run = RunTool({"import", project.path(), Workbook("receive_map.ods"), "--into", "receive-map"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, DisplayPath(Workbook("receive_map.ods")) +
                           ", worksheet RInfoCob: 1 record names a frame beyond the 2 frames of the frame list and was "
                           "skipped\n");
    EXPECT_EQ(project.read("RInfoCob.xml"),
              R"(<RInfoCob><row Index="10" NrPdo="1" PosComp="33"/><row Index="11" NrPdo="1" PosComp="8"/></RInfoCob>)");

    run = RunTool({"import", project.path(), Workbook(Xls("transmit_map")), "--into", "transmit-map"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    // $0B is 11: it follows 10.
    EXPECT_EQ(project.read("TInfoCob.xml"), R"(<TInfoCob><row Index="10" NrPdo="1" PosComp="33" Write_J1939="0"/>)"
                                            R"(<row Index="$0B" NrPdo="2" PosComp="136" Write_J1939="0"/></TInfoCob>)");
}

struct RefusedImport {
    const char* name;
    std::string workbook;
    const char* into;
    const char* document;  // that stays as it was
    const char* message;   // a part of the message
};

class CliRefusedImports : public testing::TestWithParam<RefusedImport> {};

TEST_P(CliRefusedImports, WriteNothingAndEndWithStatusOne)
{
    const RefusedImport& c = GetParam();
    Project project;
    const std::string before = project.read(c.document);
    const test::ToolRun run = RunTool({"import", project.path(), Workbook(c.workbook), "--into", c.into});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(project.read(c.document), before);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, CliRefusedImports,
    testing::Values(
        RefusedImport{"NoWorksheet", Xls("receive_map"), "receive-frames", "RCobDef.xml", "no worksheet named rpdodef"},
        RefusedImport{"NotAWorkbook", "not_a_workbook.xls", "receive-map", "RInfoCob.xml", "not_a_workbook.xls"},
        RefusedImport{"NoSuchFile", "missing.xlsx", "receive-map", "RInfoCob.xml", "missing.xlsx"},
        RefusedImport{"BadFrameNumber", Xls("receive_map_bad_frame"), "receive-map", "RInfoCob.xml",
                      "record 2: 'x' is not a valid integer value"},
        RefusedImport{"TwoColumns", "receive_map_two_columns.ods", "receive-map", "RInfoCob.xml",
                      "record 1: the worksheet has fewer than three columns"},
        RefusedImport{"RowCheck", "receive_frames.xlsx", "transmit-frames", "TCobDef.xml",
                      "Error in row 1!! The Priority of J1939 frame must be between 0 and 7"}),
    [](const testing::TestParamInfo<RefusedImport>& info) { return std::string(info.param.name); });

#ifndef TRELVANT_WITH_XLS
// A build without FreeXL refuses an .xls workbook with the kinds it reads.
INSTANTIATE_TEST_SUITE_P(
    WithoutXls, CliRefusedImports,
    testing::Values(RefusedImport{"XlsWorkbook", "receive_map.xls", "receive-map", "RInfoCob.xml",
                                  "receive_map.xls is not a workbook that can be read: this build reads .xlsx and .ods "
                                  "workbooks only"}),
    [](const testing::TestParamInfo<RefusedImport>& info) { return std::string(info.param.name); });
#endif

TEST(CliImport, AFrameListThatCannotBeReadStopsAByteMapImport)
{
    Project project;
    WriteText(project.folder / "RCobDef.xml", "<COBID><row PGN=\"1\"/></COBID>");
    const test::ToolRun run = RunTool({"import", project.path(), Workbook(Xls("receive_map")), "--into", "receive-map"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err.rfind("Error in reading file PDO XML", 0), 0u) << run.err;
    EXPECT_EQ(project.read("RInfoCob.xml"), kReceiveMap);
}

TEST(CliExport, WritesTheEditorsCsvFiles)
{
    Project project;
    WriteText(project.folder / "RCobDef.xml",
              R"(<COBID><row PGN="61444" ID_DEV="0" Delete="N" Mnemonic="a,b"/><row PGN="0xFEF1" ID_DEV="3" Delete="Y" Mnemonic=""/></COBID>)");
    WriteText(project.folder / "TInfoCob.xml", R"(<TInfoCob><row Index="3" NrPdo="2" PosComp="8" Write_J1939="1"/>)"
                                               R"(<row Index="10" NrPdo="1" PosComp="33"/><row Index="11" NrPdo="2" PosComp="1"/></TInfoCob>)");
    test::ToolRun run = RunTool({"export", project.path(), "--from", "receive-frames"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out + run.err, "");
    EXPECT_EQ(project.read("rpdodef.csv"), "cobid,id_dev_orig,en_bypass,posind,n_tpdo \r\n61444,0,0,0,0\r\n0xFEF1,3,0,0,0\r\n");

    run = RunTool({"export", project.path(), "--from", "transmit-frames"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(project.read("rpdodef.csv"), "cobid,id_dev_orig,en_bypass,posind,n_tpdo \r\n6,0,0,0,0\r\n6,0,0,0,0\r\n");

    // The rows as the reading pass attaches them: by frame, then in document order.
    run = RunTool({"export", project.path(), "--from", "transmit-map"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(project.read("TInfoCob.csv"), "10,1,33,\r\n3,2,8,\r\n11,2,1,\r\n");

    std::filesystem::remove(project.folder / "RInfoCob.xml");
    run = RunTool({"export", project.path(), "--from", "receive-map"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(project.read("RInfoCob.csv"), "");
}

// Workbooks as scripts and spreadsheet programs write them: openpyxl's inline strings, the repeats
// and blanks of LibreOffice Calc's .ods.
TEST(CliImport, ReadsWorkbooksOfOtherWriters)
{
    for (const char* workbook : {"writers_openpyxl.xlsx", "writers_libreoffice.ods"}) {
        SCOPED_TRACE(workbook);
        Project project;
        const test::ToolRun run = RunTool({"import", project.path(), Workbook(workbook), "--into", "receive-map"});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.err.find("3 records name a frame beyond the 2 frames"), std::string::npos) << run.err;
        EXPECT_EQ(project.read("RInfoCob.xml"),
                  R"(<RInfoCob><row Index="10" NrPdo="1" PosComp="33"/><row Index="11" NrPdo="1" PosComp="8"/>)"
                  R"(<row Index="11" NrPdo="1" PosComp="8"/><row Index="11" NrPdo="1" PosComp="8"/>)"
                  R"(<row Index="0x20" NrPdo="2" PosComp="17"/></RInfoCob>)");
    }
}

// An .xlsx of one worksheet of that name, its <sheetData> given.
std::string OneSheetXlsx(const std::string& sheetName, const std::string& rows)
{
    return test::StoredZip(
        {{"_rels/.rels", R"(<Relationships><Relationship Id="a" Type="x/officeDocument" Target="xl/workbook.xml"/></Relationships>)"},
         {"xl/workbook.xml", R"(<workbook><sheets><sheet name=")" + sheetName + R"(" r:id="s"/></sheets></workbook>)"},
         {"xl/_rels/workbook.xml.rels", R"(<Relationships><Relationship Id="s" Type="x/worksheet" Target="sheet.xml"/></Relationships>)"},
         {"xl/sheet.xml", "<worksheet><sheetData>" + rows + "</sheetData></worksheet>"}});
}

// What an import would lose or a document could not hold is refused: status 1, the place named,
// nothing written.
TEST(CliImport, RecordsThatWouldBeLostOrCannotBeWrittenAreRefused)
{
    struct Case {
        const char* what;
        const char* into;
        const char* document;
        std::string sheet;
        std::string rows;     // after a title row
        std::string message;  // after "<workbook>, worksheet <sheet>"
    };
    const std::string title = R"(<row r="1"><c r="A1" t="inlineStr"><is><t>cobid</t></is></c></row>)";
    const std::vector<Case> cases = {
        {"an empty row before two", "receive-frames", "RCobDef.xml", "rpdodef",
         R"(<row r="2"><c r="A2"><v>61444</v></c><c r="B2"><v>0</v></c></row>)"
         R"(<row r="4"><c r="A4"><v>61445</v></c><c r="B4"><v>1</v></c></row><row r="5"><c r="B5"><v>2</v></c></row>)",
         ", record 2: its first field is empty, which ends the list; 2 records after it hold data that would not be "
         "imported\n"},
        {"an empty first row", "transmit-frames", "TCobDef.xml", "RPDODEF",
         R"(<row r="3"><c r="A3"><v>6</v></c><c r="B3"><v>0</v></c><c r="C3"><v>1</v></c><c r="D3"><v>1</v></c></row>)",
         ", record 1: its first field is empty, which ends the list; 1 record after it holds data that would not be "
         "imported\n"},
        {"a NUL in a mnemonic", "receive-frames", "RCobDef.xml", "rpdodef",
         R"(<row r="2"><c r="A2"><v>61444</v></c><c r="B2"><v>0</v></c><c r="D2" t="inlineStr"><is><t>Eng&#0;ine</t></is></c></row>)",
         ": cell D2 (record 1) holds the control character 0x00, which a document cannot hold\n"},
        {"an escape in a transmit mnemonic", "transmit-frames", "TCobDef.xml", "rpdodef",
         R"(<row r="2"><c r="A2"><v>6</v></c><c r="B2"><v>0</v></c><c r="C2"><v>1</v></c><c r="D2"><v>1</v></c>)"
         R"(<c r="E2" t="inlineStr"><is><t>a&#x1B;[0m</t></is></c></row>)",
         ": cell E2 (record 1) holds the control character 0x1B, which a document cannot hold\n"},
        {"0x01 in a byte map's PosComp", "receive-map", "RInfoCob.xml", "RInfoCob",
         R"(<row r="2"><c r="A2"><v>10</v></c><c r="B2"><v>1</v></c><c r="C2" t="inlineStr"><is><t>&#1;</t></is></c></row>)",
         ": cell C2 (record 1) holds the control character 0x01, which a document cannot hold\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Project project;
        const std::string before = project.read(c.document);
        const std::filesystem::path workbook = project.folder / "book.xlsx";
        WriteText(workbook, OneSheetXlsx(c.sheet, title + c.rows));
        const test::ToolRun run = RunTool({"import", project.path(), workbook.string(), "--into", c.into});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err, workbook.string() + ", worksheet " + c.sheet + c.message);
        EXPECT_EQ(project.read(c.document), before);
    }
}

// More register entries than the image holds: refused with both numbers, nothing written.
TEST(CliImport, AByteMapOverTheImagesRoomIsRefused)
{
    Project project;
    const std::string before = project.read("RInfoCob.xml");
    std::string rows = "<row><c><v>0</v></c></row>";
    for (int r = 0; r < 2913; ++r) rows += "<row><c><v>" + std::to_string(r) + "</v></c><c><v>1</v></c><c><v>1</v></c></row>";
    const std::string sheet = "<worksheet><sheetData>" + rows + "</sheetData></worksheet>";
    WriteText(project.folder / "large.xlsx",
              test::StoredZip({{"_rels/.rels", R"(<Relationships><Relationship Id="a" Type="x/officeDocument" Target="xl/workbook.xml"/></Relationships>)"},
                               {"xl/workbook.xml", R"(<workbook><sheets><sheet name="RInfoCob" r:id="s"/></sheets></workbook>)"},
                               {"xl/_rels/workbook.xml.rels", R"(<Relationships><Relationship Id="s" Type="x/worksheet" Target="sheet.xml"/></Relationships>)"},
                               {"xl/sheet.xml", sheet}}));
    const test::ToolRun run = RunTool({"import", project.path(), (project.folder / "large.xlsx").string(), "--into", "receive-map"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("large.xlsx, worksheet RInfoCob: the worksheet gives 2913 register entries, and the "
                           "receive byte map holds at most 2912 rows"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(project.read("RInfoCob.xml"), before);
}

TEST(CliExport, ADocumentThatCannotBeReadWritesNothing)
{
    struct Case {
        const char* name;
        const char* document;
        const char* text;
        const char* from;
        std::string message;  // standard error, "%p" for the document's path
    };
    const std::vector<Case> cases = {
        {"ByteMap", "RInfoCob.xml", "<RInfoCob><row Index=\"1\" NrPdo=\"0\" PosComp=\"1\"/></RInfoCob>", "receive-map",
         "Error in reading file SDOPDO XML"},
        // The path once, before the row.
        {"FrameListRow", "TCobDef.xml", "<COBID><row Priority=\"6\" PGN=\"1\" ID_DEV=\"1\"/></COBID>", "transmit-frames",
         "%p, row 1: no attribute DP\n"},
        {"FrameListRoot", "TCobDef.xml", "<Frames/>", "transmit-frames", "%p: no COBID element\n"},
        {"FrameListThatDoesNotParse", "RCobDef.xml", "<COBID><row PGN=\"1\"></COBID>", "receive-frames",
         "%p: Start-end tags mismatch at offset 22\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Project project;
        WriteText(project.folder / c.document, c.text);
        const test::ToolRun run = RunTool({"export", project.path(), "--from", c.from});
        EXPECT_EQ(run.exitCode, 1);
        std::string message = c.message;
        if (const std::size_t at = message.find("%p"); at != std::string::npos)
            message.replace(at, 2, (project.folder / c.document).string());
        EXPECT_EQ(run.err.rfind(message, 0), 0u) << run.err;
        EXPECT_EQ(run.err.find(c.document), run.err.rfind(c.document)) << run.err;
        EXPECT_FALSE(std::filesystem::exists(project.folder / "RInfoCob.csv"));
        EXPECT_FALSE(std::filesystem::exists(project.folder / "rpdodef.csv"));
    }
}

TEST(CliTables, UsageErrorsEndWithStatusTwo)
{
    Project project;
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"import", project.path(), Workbook("receive_map.xls"), "--into", "frames"},
          std::vector<std::string>{"import", project.path(), "--into", "receive-map"},
          std::vector<std::string>{"export", project.path()},
          std::vector<std::string>{"export", (project.folder / "nowhere").string(), "--from", "receive-map"}}) {
        const test::ToolRun run = RunTool(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments[0] << " " << arguments.back();
        EXPECT_NE(run.err.find("Usage"), std::string::npos) << run.err;
    }
    EXPECT_EQ(RunTool({"import", "--help"}).exitCode, 0);
    EXPECT_EQ(RunTool({"export", "--help"}).exitCode, 0);
}

}  // namespace
}  // namespace trelvant
