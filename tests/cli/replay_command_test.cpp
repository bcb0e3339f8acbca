#include "tests/cli/run_tool.h"
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

const std::filesystem::path kReplay = TRELVANT_REPLAY_DATA;
const std::string kExample = TRELVANT_EXAMPLE_PROJECT;
const std::string kPdu1 = std::string(TRELVANT_REPORT_DATA) + "/Pdu1";

struct Golden {
    std::string name;  // of the golden .out and .csv
    std::string project;
    std::string log;
    std::string pgnMatch;
};

// The register timeline and the summary of hand-made logs: the example project's engine and
// sensors with a frame from another device, a short frame, a transport protocol announcement,
// 11-bit, remote, CAN FD and error frames and a line that is no frame; and destination-specific and
// data page 1 PGNs, matched literally and as J1939 PGNs.
TEST(ReplayCommand, GivesTheGoldenTimelineAndSummary)
{
    for (const Golden& golden : {Golden{"boiler2", kExample, "boiler2.log", "literal"},
                                 Golden{"pdu1-literal", kPdu1, "pdu1.log", "literal"},
                                 Golden{"pdu1-j1939", kPdu1, "pdu1.log", "j1939"}}) {
        SCOPED_TRACE(golden.name);
        TempFolder folder;
        const std::filesystem::path csv = folder / "timeline.csv";
        const test::ToolRun run = RunTool({"replay", golden.project, (kReplay / golden.log).string(), "--csv",
                                           csv.string(), "--pgn-match", golden.pgnMatch});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.out, ReadText(kReplay / (golden.name + ".out")));
        EXPECT_EQ(ReadText(csv), ReadText(kReplay / (golden.name + ".csv")));
    }
}

// The image built from the project, the bank files of a build and the merged firmware of the
// example project are one image: one replay.
TEST(ReplayCommand, BankFilesAndFirmwareReplayAsTheProject)
{
    TempFolder folder;
    std::filesystem::copy(kExample, folder / "Boiler2", std::filesystem::copy_options::recursive);
    const std::filesystem::path project = folder / "Boiler2";
    ASSERT_EQ(RunTool({"build", project.string()}).exitCode, 0);
    const std::string log = (kReplay / "boiler2.log").string();
    const std::string expected = ReadText(kReplay / "boiler2.out");
    for (const std::vector<std::string>& image :
         {std::vector<std::string>{(project / "bin" / "bank1.bin").string(), (project / "bin" / "bank2.bin").string()},
          std::vector<std::string>{"--firmware", std::string(TRELVANT_CLI_GOLDEN) + "/New_Pelmora.sx"}}) {
        std::vector<std::string> arguments = {"replay"};
        arguments.insert(arguments.end(), image.begin(), image.end());
        arguments.push_back(log);
        const test::ToolRun run = RunTool(arguments);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, expected) << image.front();
    }
}

TEST(ReplayCommand, RefusesWhatItCannotReplay)
{
    TempFolder folder;
    // Without pargen.xml the project builds the CAN 2.0A layout.
    std::filesystem::create_directory(folder / "Standard");
    test::WriteText(folder / "Standard" / "RCobDef.xml", "<COBID><row PGN=\"0x123\" ID_DEV=\"0\"/></COBID>");
    const std::string log = (kReplay / "boiler2.log").string();
    struct Case {
        std::vector<std::string> arguments;
        std::string message;
    };
    for (const Case& c : {
             Case{{"replay", (folder / "Standard").string(), log}, "CAN 2.0A layout"},
             Case{{"replay", kExample, (folder / "no.log").string()}, "Unable to read"},
             Case{{"replay", (folder / "no such bank1.bin").string(), log, log}, "Unable to read"},
             Case{{"replay", kExample, log, "--csv", folder.path().string()}, "Unable to write to"},
         }) {
        const test::ToolRun run = RunTool(c.arguments);
        EXPECT_EQ(run.exitCode, 1) << c.arguments[1];
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
}

}  // namespace
}  // namespace trelvant
