// What the commands write: never a file they read, the file named exactly, standard output by
// "-", and a word on bank files of a build that did not complete.
#include "image/bank_files.h"
#include "tests/cli/run_tool.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#ifdef __linux__
#include <sys/wait.h>
#endif

namespace trelvant {
namespace {

using test::ReadText;
using test::RunTool;
using test::TempFolder;

const std::filesystem::path kReplay = TRELVANT_REPLAY_DATA;
const std::string kExample = TRELVANT_EXAMPLE_PROJECT;

// The example project, built, in a folder of the test's own.
std::filesystem::path builtExample(const TempFolder& folder)
{
    const std::filesystem::path project = folder / "Boiler2";
    std::filesystem::copy(kExample, project, std::filesystem::copy_options::recursive);
    EXPECT_EQ(RunTool({"build", project.string()}).exitCode, 0);
    return project;
}

TEST(CommandOutputs, AnOutputThatIsAnInputIsRefusedBeforeAnythingRuns)
{
    TempFolder folder;
    const std::filesystem::path project = builtExample(folder);
    const std::filesystem::path log = folder / "recording.log";
    std::filesystem::copy_file(kReplay / "boiler2.log", log);
    const std::string bank1 = (project / "bin" / "bank1.bin").string();
    const std::string bank2 = (project / "bin" / "bank2.bin").string();

    struct Case {
        std::vector<std::string> arguments;
        std::filesystem::path output;
        std::filesystem::path input;  // as the message names it
    };
    std::vector<Case> cases = {
        {{"replay", project.string(), log.string(), "--csv", log.string()}, log, log},
        {{"replay", project.string(), log.string(), "--csv", (project / "RCobDef.xml").string()},
         project / "RCobDef.xml", project / "RCobDef.xml"},
        {{"report", project.string(), "--output", (project / "pargen.xml").string()},
         project / "pargen.xml", project / "pargen.xml"},
    };
#ifndef _WIN32  // links, which Windows gives only to administrators
    std::filesystem::create_symlink("recording.log", folder / "link.log");
    std::filesystem::create_hard_link(project / "bin" / "bank1.bin", folder / "hard.bin");
    cases.push_back({{"replay", project.string(), log.string(), "--csv", (folder / "link.log").string()},
                     folder / "link.log", log});
    cases.push_back({{"replay", bank1, bank2, log.string(), "--csv", (folder / "hard.bin").string()},
                     folder / "hard.bin", bank1});
#endif
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments[0] + " to " + c.output.string());
        const std::string before = ReadText(c.input);
        const test::ToolRun run = RunTool(c.arguments);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.out, "") << "refused before anything ran";
        EXPECT_EQ(run.err, "Unable to write to " + c.output.string() + ": it is " + c.input.string() +
                               ", which this command reads\n");
        EXPECT_EQ(ReadText(c.input), before);
    }
}

#ifndef _WIN32  // links, which Windows gives only to administrators
// A project received from someone else: its links neither turn a document into an output nor
// lead a write out of its folder.
TEST(CommandOutputs, TheTablesOfAProjectAreWrittenNeitherOverItsDocumentsNorOutOfIt)
{
    TempFolder folder;
    const std::filesystem::path project = builtExample(folder);
    const std::string documents = ReadText(project / "RCobDef.xml");
    std::filesystem::create_symlink("RCobDef.xml", project / "rpdodef.csv");
    std::filesystem::create_symlink(project / "RCobDef.xml", folder / "book.xlsx");
    std::filesystem::create_symlink("../elsewhere/RInfoCob.csv", project / "RInfoCob.csv");

    struct Case {
        std::vector<std::string> arguments;
        std::string message;
    };
    const std::filesystem::path real = std::filesystem::canonical(folder.path());
    const std::vector<Case> cases = {
        {{"export", project.string(), "--from", "receive-frames"},
         "Unable to write to " + (project / "rpdodef.csv").string() + ": it is " + (project / "RCobDef.xml").string() +
             ", which this command reads\n"},
        {{"import", project.string(), (folder / "book.xlsx").string(), "--into", "receive-frames"},
         "Unable to write to " + (project / "RCobDef.xml").string() + ": it is " + (folder / "book.xlsx").string() +
             ", which this command reads\n"},
        {{"export", project.string(), "--from", "receive-map"},
         "Unable to write to " + (project / "RInfoCob.csv").string() + ": it leads to " +
             (real / "elsewhere" / "RInfoCob.csv").string() + ", outside the project folder " +
             (real / "Boiler2").string() + "\n"},
    };
    for (const Case& c : cases) {
        const test::ToolRun run = RunTool(c.arguments);
        EXPECT_EQ(run.exitCode, 1) << c.arguments[0];
        EXPECT_EQ(run.err, c.message);
    }
    EXPECT_EQ(ReadText(project / "RCobDef.xml"), documents);
    EXPECT_FALSE(std::filesystem::exists(folder / "elsewhere"));
}
#endif

#ifndef _WIN32  // a file system that ignores case has one file for both names
TEST(CommandOutputs, AnOutputIsTheFileNamedExactly)
{
    TempFolder folder;
    std::filesystem::copy_file(kReplay / "boiler2.log", folder / "b.log");
    test::WriteText(folder / "MAP.HTML", "another report");
    const std::string recording = ReadText(folder / "b.log");
    EXPECT_EQ(RunTool({"replay", kExample, (folder / "b.log").string(), "--csv", (folder / "B.LOG").string()}).exitCode, 0);
    EXPECT_EQ(RunTool({"report", kExample, "--output", (folder / "map.html").string()}).exitCode, 0);
    EXPECT_EQ(ReadText(folder / "b.log"), recording);
    EXPECT_EQ(ReadText(folder / "MAP.HTML"), "another report");
    EXPECT_TRUE(ReadText(folder / "B.LOG").starts_with("time,register,value,frame\r\n"));
    EXPECT_EQ(ReadText(folder / "map.html"), RunTool({"report", kExample}).out);
}
#endif

TEST(CommandOutputs, ADashIsStandardOutput)
{
    const test::ToolRun plain = RunTool({"report", kExample, "--format", "csv"});
    const test::ToolRun dash = RunTool({"report", kExample, "--format", "csv", "--output", "-"});
    EXPECT_EQ(dash.exitCode, 0) << dash.err;
    EXPECT_EQ(dash.out, plain.out);
    EXPECT_FALSE(std::filesystem::exists("-"));
}

#ifdef __linux__
// /dev/stdout on a pipe names no file the output could replace: said as it is.
TEST(CommandOutputs, StandardOutputOnAPipeIsToldAsNoRegularFile)
{
    const std::string command =
        "'" + test::ToolPath().string() + "' report '" + kExample + "' --output /dev/stdout 2>&1 </dev/null";
    std::FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string said;
    char buffer[512];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) said.append(buffer, n);
    const int status = pclose(pipe);
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(said, "Unable to write to /dev/stdout: a FIFO, not a regular file\n");
}
#endif

// A document's texts reach the terminal without the sequences a terminal acts on: a retitled
// window, an erased line, text turned right to left.
TEST(CommandOutputs, TheTerminalGetsNoControlSequenceOfADocument)
{
    TempFolder folder;
    const std::filesystem::path project = builtExample(folder);
    test::WriteText(project / "RCobDef.xml",
                    "<COBID><row PGN=\"\x1B]0;owned\x07\" ID_DEV=\"0\" Delete=\"N\" Mnemonic=\"a\x1B[2K\"/>"
                    "<row PGN=\"61444\" ID_DEV=\"0\" Delete=\"N\" Mnemonic=\"Oil\xE2\x80\xAE\xC2\x9B\"/></COBID>");
    struct Case {
        std::string command;
        std::string shown;  // the PGN's text as the command shows it
    };
    for (const Case& c : {Case{"check", "\\x1B]0;owned\\x07"}, Case{"build", "\\x1B]0;owned\\x07"},
                          Case{"report", "?]0;owned?"}}) {
        const test::ToolRun run = RunTool({c.command, project.string()});
        const std::string said = run.out + run.err;
        SCOPED_TRACE(c.command + ": " + said);
        EXPECT_NE(said.find(c.shown), std::string::npos);
        for (const std::string raw : {"\x1B", "\x07", "\xE2\x80\xAE", "\xC2\x9B"})
            EXPECT_EQ(said.find(raw), std::string::npos);
    }
}

// The marker of a build stopped among its renames lies beside bank files that may mix two builds.
TEST(CommandOutputs, BankFilesOfAnUnfinishedBuildAreSaidToBeSo)
{
    TempFolder folder;
    const std::filesystem::path project = builtExample(folder);
    const std::string bank1 = (project / "bin" / "bank1.bin").string();
    const std::string bank2 = (project / "bin" / "bank2.bin").string();
    const std::string log = (kReplay / "boiler2.log").string();
    const test::ToolRun cleanDump = RunTool({"dump", bank1, bank2});
    const test::ToolRun cleanReplay = RunTool({"replay", bank1, bank2, log});
    EXPECT_EQ(cleanDump.out.find("Unfinished build"), std::string::npos);
    EXPECT_EQ(cleanReplay.out.find(".build-incomplete"), std::string::npos);

    test::WriteText(project / "bin" / std::string(kUnfinishedBuildMarker), "left by a stopped build");
    const test::ToolRun dump = RunTool({"dump", bank1, bank2});
    EXPECT_EQ(dump.exitCode, 0) << dump.err;
    EXPECT_EQ(dump.out, "Unfinished build! The bank files' folder holds .build-incomplete: its last build did not "
                        "complete and the banks may come from two builds. Build again.\n\n" + cleanDump.out);
    EXPECT_NE(RunTool({"dump", "--json", bank1, bank2}).out.find("\"unfinishedBuild\": true"), std::string::npos);
    const test::ToolRun replay = RunTool({"replay", bank1, bank2, log});
    EXPECT_EQ(replay.exitCode, 0) << replay.err;
    EXPECT_NE(replay.out.find("The image:\n  - The bank files' folder holds .build-incomplete: its last build did not "
                              "complete and the banks may come from two builds; build again\n"),
              std::string::npos)
        << replay.out;
}

}  // namespace
}  // namespace trelvant
