#include "documents/pargen_document.h"
#include "tests/cli/run_tool.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

namespace trelvant {
namespace {

using test::RunTool;
using test::TempFolder;
using test::WriteText;

// A small project in the J1939 layout without problems; the time-out register is 1.
struct CheckedProject {
    TempFolder folder;
    CheckedProject()
    {
        WritePargen(folder / "pargen.xml", PargenValues{});
        WriteText(folder / "RCobDef.xml", "<COBID><row PGN=\"0xFECA\" ID_DEV=\"0x21\" Delete=\"N\"/></COBID>");
        WriteText(folder / "TCobDef.xml", "<COBID><row Priority=\"6\" DP=\"0\" PGN=\"0xFEF1\" ID_DEV=\"0\"/></COBID>");
        WriteText(folder / "RInfoCob.xml", "<RInfoCob><row Index=\"3\" NrPdo=\"1\" PosComp=\"8\"/></RInfoCob>");
        WriteText(folder / "TInfoCob.xml", "<TInfoCob><row Index=\"7\" NrPdo=\"1\" PosComp=\"18\" Write_J1939=\"0\"/></TInfoCob>");
    }
    std::string path() const { return folder.path().string(); }
    std::set<std::filesystem::path> entries() const
    {
        std::set<std::filesystem::path> found;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder.path())) found.insert(entry.path());
        return found;
    }
};

TEST(CliCheck, ACleanProjectSaysSoAndEndsWithZero)
{
    CheckedProject project;
    const test::ToolRun run = RunTool({"check", project.path()});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "No problems found\n");
    EXPECT_EQ(run.err, "");
}

TEST(CliCheck, TheExampleProjectIsClean)
{
    const test::ToolRun run = RunTool({"check", TRELVANT_EXAMPLE_PROJECT});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "No problems found\n");
}

TEST(CliCheck, ErrorsEndWithOneAndEveryFindingHasItsLine)
{
    CheckedProject project;
    WriteText(project.folder / "RInfoCob.xml",
              "<RInfoCob><row Index=\"1\" NrPdo=\"1\" PosComp=\"8\"/><row Index=\"70000\" NrPdo=\"2\" PosComp=\"1\"/></RInfoCob>");
    const auto before = project.entries();
    const test::ToolRun run = RunTool({"check", project.path()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out,
              "RInfoCob.xml, row 1: error: Modbus index 1 is also the register \"TO_ModReg\" of pargen.xml\n"
              "RInfoCob.xml, row 2: error: Modbus index 70000 is cut to 4464 (field of 16 bits)\n"
              "RInfoCob.xml, row 2: warning: frame number 2 is past the 1 frames the editor reads from RCobDef.xml: it "
              "drops the row, the builder stores it\n"
              "2 errors, 1 warning\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(project.entries(), before);  // the check writes nothing
}

TEST(CliCheck, WarningsAloneEndWithZero)
{
    CheckedProject project;
    WriteText(project.folder / "TInfoCob.xml",
              "<TInfoCob><row Index=\"7\" NrPdo=\"1\" PosComp=\"18\" Write_J1939=\"1\"/></TInfoCob>");
    const test::ToolRun run = RunTool({"check", project.path()});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out,
              "TInfoCob.xml, row 1: warning: Write J1939 flag 1 while pargen.xml disables writing J1939 frames\n"
              "1 warning\n");
}

TEST(CliCheck, JsonHoldsEachFindingAndTheCounts)
{
    CheckedProject project;
    WriteText(project.folder / "pargen.xml",
              "<GeneralParameter><BaudRateCAN>5</BaudRateCAN><CANType>1</CANType><Baud_Ser>3</Baud_Ser>"
              "<Par_Ser>0</Par_Ser><TimeOut_Ser>1000</TimeOut_Ser></GeneralParameter>");
    WriteText(project.folder / "TInfoCob.xml",
              "<TInfoCob><row Index=\"7\" NrPdo=\"1\" PosComp=\"18\" Write_J1939=\"1\"/></TInfoCob>");
    const test::ToolRun run = RunTool({"check", project.path(), "--json"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out,
              "{\n"
              "  \"findings\": [\n"
              "    {\"document\": \"pargen.xml\", \"row\": null, \"attribute\": \"IDDev_Ser\", \"severity\": \"error\", "
              "\"code\": \"missing\", \"message\": \"element \\\"IDDev_Ser\\\" is missing or holds no text\"},\n"
              "    {\"document\": \"TInfoCob.xml\", \"row\": 1, \"attribute\": \"Write_J1939\", \"severity\": \"warning\", "
              "\"code\": \"write-disabled\", \"message\": \"Write J1939 flag 1 while pargen.xml disables writing J1939 "
              "frames\"}\n"
              "  ],\n"
              "  \"counts\": {\"errors\": 1, \"warnings\": 1}\n"
              "}\n");
    EXPECT_EQ(run.err, "");

    const test::ToolRun clean = RunTool({"check", CheckedProject().path(), "--json"});
    EXPECT_EQ(clean.exitCode, 0);
    EXPECT_EQ(clean.out, "{\n  \"findings\": [],\n  \"counts\": {\"errors\": 0, \"warnings\": 0}\n}\n");
}

TEST(CliCheck, ADocumentThatDoesNotParseIsAnError)
{
    CheckedProject project;
    WriteText(project.folder / "TCobDef.xml", "<COBID><row PGN=\"1\"\t/>\n");
    const test::ToolRun run = RunTool({"check", project.path(), "--json"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.out.find("{\"document\": \"TCobDef.xml\", \"row\": null, \"attribute\": null, \"severity\": "
                           "\"error\", \"code\": \"unreadable\", \"message\": \"Start-end tags mismatch at offset"),
              std::string::npos)
        << run.out;
}

}  // namespace
}  // namespace trelvant
