#include "documents/pargen_document.h"
#include "image/bank_files.h"
#include "image/image_builder.h"
#include "tests/cli/run_tool.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

namespace trelvant {
namespace {

using test::ReadText;
using test::RunTool;
using test::TempFolder;
using test::WriteText;

// A small project in the J1939 layout, without a bin folder, as checked out of version control.
struct CheckedOutProject {
    TempFolder folder;
    CheckedOutProject()
    {
        WritePargen(folder / "pargen.xml", PargenValues{});
        WriteText(folder / "RCobDef.xml", "<COBID><row PGN=\"0xFECA\" ID_DEV=\"0x21\" Delete=\"y\" Mnemonic=\"\"/></COBID>");
        WriteText(folder / "TCobDef.xml", "<COBID><row Priority=\"6\" DP=\"0\" PGN=\"0xFEF1\" ID_DEV=\"0\" Mnemonic=\"\"/></COBID>");
        WriteText(folder / "RInfoCob.xml", "<RInfoCob><row Index=\"3\" NrPdo=\"1\" PosComp=\"8\"/></RInfoCob>");
        WriteText(folder / "TInfoCob.xml", "<TInfoCob><row Index=\"7\" NrPdo=\"1\" PosComp=\"18\" Write_J1939=\"1\"/></TInfoCob>");
    }
};

TEST(CliBuild, WritesTheSixFilesAsTheConfiguratorDoes)
{
    CheckedOutProject project;
    const test::ToolRun run = RunTool({"build", project.folder.path().string(), "--build-time", "2009-12-31T23:59:58"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");

    ConfigurationImage expected;
    BuildConfigurationImage(expected, project.folder.path(), FixedClock({2009, 12, 31, 23, 59, 58}));
    for (int bank = 1; bank <= 5; ++bank) {
        const auto bytes = expected.bank(bank);
        EXPECT_EQ(ReadText(BankFilePath(project.folder.path(), bank)), std::string(bytes.begin(), bytes.end())) << bank;
    }
    EXPECT_EQ(ReadText(BankSourcePath(project.folder.path())), BankSourceText(expected));
    EXPECT_EQ(expected.get16(1, 16020), 65033);
    EXPECT_EQ(expected.get32(2, 0), 419361024u);
}

TEST(CliBuild, ARefusedBuildWritesNothing)
{
    CheckedOutProject project;
    WriteText(project.folder / "RCobDef.xml", "<COBID><row PGN=\"12abc\" ID_DEV=\"1\"/></COBID>");
    const test::ToolRun run = RunTool({"build", project.folder.path().string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, (project.folder / "RCobDef.xml").string() +
                           ", row 1, attribute \"PGN\": '12abc' is not a valid integer value\n");
    EXPECT_FALSE(std::filesystem::exists(project.folder / "bin"));
}

TEST(CliBuild, TakesFebruary29OfALeapYear)
{
    for (const char* moment : {"2024-02-29T08:00:00", "2000-02-29T08:00:00"}) {
        CheckedOutProject project;
        const test::ToolRun run = RunTool({"build", project.folder.path().string(), "--build-time", moment});
        EXPECT_EQ(run.exitCode, 0) << moment << ": " << run.err;
        const std::string bank1 = ReadText(BankFilePath(project.folder.path(), 1));
        const unsigned year = std::string(moment) == "2000-02-29T08:00:00" ? 0 : 24;
        EXPECT_EQ(static_cast<unsigned char>(bank1[16020]) | static_cast<unsigned char>(bank1[16021]) << 8,
                  29u * 2048 + 2 * 128 + year) << moment;
    }
}

TEST(CliBuild, ABinFolderThatCannotBeMadeIsNamed)
{
    CheckedOutProject project;
    WriteText(project.folder / "bin", "a file where the folder should be");
    const test::ToolRun run = RunTool({"build", project.folder.path().string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err.rfind("Unable to make the folder " + (project.folder / "bin").string() + ": ", 0), 0u) << run.err;
    EXPECT_EQ(ReadText(project.folder / "bin"), "a file where the folder should be");
}

TEST(CliHelp, DescribesTheToolAndEachCommand)
{
    const test::ToolRun tool = RunTool({"--help"});
    EXPECT_EQ(tool.exitCode, 0);
    EXPECT_NE(tool.out.find("build"), std::string::npos);
    const test::ToolRun build = RunTool({"build", "--help"});
    EXPECT_EQ(build.exitCode, 0);
    EXPECT_NE(build.out.find("--build-time"), std::string::npos);
}

#ifdef TRELVANT_WITHOUT_IMPORT
// A build made without the spreadsheet libraries says so in its help and knows no import.
TEST(CliHelp, ABuildWithoutTheImportSaysSo)
{
    const test::ToolRun tool = RunTool({"--help"});
    EXPECT_EQ(tool.exitCode, 0);
    EXPECT_NE(tool.out.find("This build has no spreadsheet import: it was made without libzip"),
              std::string::npos) << tool.out;
    const test::ToolRun import = RunTool({"import"});
    EXPECT_EQ(import.exitCode, 2);
    EXPECT_NE(import.err.find("A subcommand is required"), std::string::npos) << import.err;
}
#elif !defined(TRELVANT_WITH_XLS)
// A build without FreeXL imports .xlsx and .ods, says so in its help, and refuses .xls with a word
// on what to do instead.
TEST(CliHelp, ABuildWithoutXlsSaysSo)
{
    const test::ToolRun tool = RunTool({"--help"});
    EXPECT_EQ(tool.exitCode, 0);
    EXPECT_NE(tool.out.find("This build imports .xlsx and .ods workbooks only"), std::string::npos) << tool.out;
}
#endif

}  // namespace
}  // namespace trelvant
