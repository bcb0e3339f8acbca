#include "image/bank_files.h"
#include "image/srecord_merge.h"
#include "tests/cli/run_tool.h"
#include "tests/image/merge_test_support.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#endif

namespace trelvant {
namespace {

using test::ReadText;
using test::RunTool;
using test::TempFolder;
using test::WriteText;

// The road of "Update Device" without the dialog: a project with a blank in its path, the
// demonstration base firmware and a program folder holding the flash tool stand-in.
struct Road {
    TempFolder folder;
    std::filesystem::path program = folder / "program";
    std::filesystem::path project = folder / "PROJECTS" / "Boiler 2";
    std::filesystem::path base = program / "MASTER" / "Pelmora.sx";
    std::filesystem::path merged = project / "New_Pelmora.sx";

    Road()
    {
        std::filesystem::create_directories(project.parent_path());
        std::filesystem::copy(TRELVANT_EXAMPLE_PROJECT, project);
        std::filesystem::create_directories(base.parent_path());
        std::filesystem::copy_file(TRELVANT_DEMO_FIRMWARE, base);
        std::filesystem::copy_file(TRELVANT_FLASH_TOOL_STAND_IN, program / "Kestrow.exe");
    }

    // Bank files of a pattern, without a build.
    void writeBanks() const
    {
        std::filesystem::create_directories(project / "bin");
        for (int n = 1; n <= 5; ++n) {
            std::string bytes(16384, '\0');
            for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 3 + static_cast<std::size_t>(n));
            WriteText(project / "bin" / ("bank" + std::to_string(n) + ".bin"), bytes);
        }
    }

    std::string bankRecords(int bank) const
    {
        const std::string bytes = ReadText(project / "bin" / ("bank" + std::to_string(bank) + ".bin"));
        return BankRecords(bank, std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    }

    // Runs the stand-in as the dialog starts the flash tool: two arguments, no shell quoting
    // of its own; the exit status.
    int flash(const std::string& firmware, const std::string& port) const
    {
        return test::RunProgram(program / "Kestrow.exe", {firmware, port}, folder / "flash.out", folder / "flash.err");
    }
    std::string log() const { return ReadText(program / "Kestrow.log"); }
};

TEST(CliUpdate, BuildsAndMergesAFirmwareTheFlashToolAccepts)
{
    Road road;
    const test::ToolRun run =
        RunTool({"update", road.project.string(), road.base.string(), "--build-time", "2026-12-10T12:00:00"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");

    const std::string merged = ReadText(road.merged);
    const std::string base = ReadText(road.base);
    EXPECT_NE(merged.find(road.bankRecords(1)), std::string::npos);
    EXPECT_NE(merged.find(road.bankRecords(2)), std::string::npos);
    EXPECT_EQ(merged.size(), base.size()) << "the demonstration firmware fills both windows whole";
    EXPECT_EQ(merged.substr(0, merged.find("S224388000")), base.substr(0, base.find("S224388000")));
    EXPECT_EQ(ReadText(road.base), base);

    EXPECT_EQ(road.flash(road.merged.string(), "7"), 0);
    EXPECT_EQ(road.log(), "\"" + road.merged.string() + "\" \"7\" ok: 1671 records\n");
}

TEST(CliUpdate, StopsAfterARefusedBuild)
{
    Road road;
    WriteText(road.project / "RCobDef.xml", "<COBID><row PGN=\"12abc\" ID_DEV=\"1\"/></COBID>");
    const test::ToolRun run = RunTool({"update", road.project.string(), road.base.string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, (road.project / "RCobDef.xml").string() +
                           ", row 1, attribute \"PGN\": '12abc' is not a valid integer value\n");
    EXPECT_FALSE(std::filesystem::exists(road.merged));
}

struct MergeRun {
    const char* name;
    const char* base;  // the base firmware's text; nullptr: the demonstration firmware
    const char* removeBank;
    const char* err;  // "%b": the base firmware's path
    int exitCode;
    bool written;
};

class CliMerge : public testing::TestWithParam<MergeRun> {};

TEST_P(CliMerge, TellsOnStandardErrorAndExitsWithTheOutcome)
{
    const MergeRun& c = GetParam();
    Road road;
    road.writeBanks();
    if (c.base) WriteText(road.base, c.base);
    if (*c.removeBank) std::filesystem::remove(road.project / "bin" / c.removeBank);
    const test::ToolRun run = RunTool({"merge", road.project.string(), road.base.string()});
    EXPECT_EQ(run.exitCode, c.exitCode);
    EXPECT_EQ(run.out, "");
    std::string err = c.err;
    if (const std::size_t at = err.find("%b"); at != std::string::npos) err.replace(at, 2, road.base.string());
    EXPECT_EQ(run.err, err);
    EXPECT_EQ(std::filesystem::exists(road.merged), c.written);
}

INSTANTIATE_TEST_SUITE_P(Cases, CliMerge, testing::Values(
    MergeRun{"BothBanksInserted", nullptr, "", "", 0, true},
    MergeRun{"MissingBank2File", nullptr, "bank2.bin", "File bank2.bin Not Found,Abort Procedure\n", 1, false},
    MergeRun{"NoS9", "S00600004844521B\r\nS224388000\r\nS804000000FB\r\n", "", "Record S9 Not Found,Abort Procedure\n",
             1, false},
    MergeRun{"NoRecordInBank2Window", "S224388000\r\nS9030000FC\r\n", "", "Bank 2 Not Inserted,Abort Procedure\n", 1,
             true},
    MergeRun{"BlankLineBeforeS9", "S224388000\r\nS224398000\r\n\r\nS9030000FC\r\n", "",
             "%b, line 3: File New Sx Not Create,Abort Procedure: empty line\n", 1, false},
    MergeRun{"BinaryGarbage", "\x7f" "ELF\x02\x01\x01\x03\n\n\xff\xfe\r\n", "",
             "%b, line 2: File New Sx Not Create,Abort Procedure: empty line\n", 1, false},
    MergeRun{"ShortS2Record", "S00600004844521B\r\nS2143880\r\nS9030000FC\r\n", "",
             "%b, line 2: File New Sx Not Create,Abort Procedure: S2 record shorter than ten characters\n", 1, false}),
    [](const auto& info) { return std::string(info.param.name); });

// A build stopped among its renames leaves bank files of two builds. Neither merge nor update
// merges them while the marker stands; the next build that completes, here update's own, removes it.
TEST(CliMerge, RefusesTheBankFilesOfAnUnfinishedBuild)
{
    Road road;
    road.writeBanks();
    struct Stopped {};
    EXPECT_THROW(WriteBankOutputs(ConfigurationImage(), road.project, [](const std::filesystem::path&) { throw Stopped{}; }),
                 Stopped);
    const std::string refusal = (road.project / "bin").string() + ": the last build did not complete: build again\n";
    const test::ToolRun merge = RunTool({"merge", road.project.string(), road.base.string()});
    EXPECT_EQ(merge.exitCode, 1);
    EXPECT_EQ(merge.err, refusal);
    EXPECT_FALSE(std::filesystem::exists(road.merged));

    const std::string rCobDef = ReadText(road.project / "RCobDef.xml");
    WriteText(road.project / "RCobDef.xml", "<COBID><row PGN=\"12abc\" ID_DEV=\"1\"/></COBID>");
    const test::ToolRun refusedBuild = RunTool({"update", road.project.string(), road.base.string()});
    EXPECT_EQ(refusedBuild.exitCode, 1);
    EXPECT_FALSE(std::filesystem::exists(road.merged));
    EXPECT_TRUE(BuildIncomplete(road.project / "bin"));

    WriteText(road.project / "RCobDef.xml", rCobDef);
    const test::ToolRun update = RunTool({"update", road.project.string(), road.base.string()});
    EXPECT_EQ(update.exitCode, 0) << update.err;
    EXPECT_FALSE(BuildIncomplete(road.project / "bin"));
    EXPECT_NE(ReadText(road.merged).find(road.bankRecords(2)), std::string::npos);
}

TEST(CliMerge, AMissingBaseFirmwareIsTheMergesOwnMessage)
{
    Road road;
    road.writeBanks();
    const test::ToolRun run = RunTool({"merge", road.project.string(), (road.folder / "Nothing.sx").string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "File *.Sx Not Found,Abort Procedure\n");
}

#ifndef _WIN32
// A FIFO would hold the merge forever and a device would fill the disk: both are refused unopened.
TEST(CliMerge, RefusesWhatIsNotARegularFile)
{
    struct Case {
        std::string name;
        std::function<std::filesystem::path(const Road&)> odd;  // makes it, gives its path
        bool asBankFile;
        std::string message;
    };
    const auto fifoAt = [](const std::filesystem::path& at) {
        std::filesystem::remove(at);
        EXPECT_EQ(mkfifo(at.c_str(), 0600), 0);
        return at;
    };
    const std::vector<Case> cases = {
        {"FIFO", [&](const Road& road) { return fifoAt(road.folder / "pipe.sx"); }, false,
         "File *.Sx Not Found,Abort Procedure: a FIFO, not a regular file"},
        {"device", [](const Road&) { return std::filesystem::path("/dev/zero"); }, false,
         "File *.Sx Not Found,Abort Procedure: a character device, not a regular file"},
        {"FIFO as bank file", [&](const Road& road) { return fifoAt(road.project / "bin" / "bank2.bin"); }, true,
         "File bank2.bin Not Found,Abort Procedure: a FIFO, not a regular file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Road road;
        road.writeBanks();
        const std::filesystem::path odd = c.odd(road);
        const std::filesystem::path base = c.asBankFile ? road.base : odd;
        test::ToolRun run;
        {
            test::RunawayGuard guard({odd});
            run = RunTool({"merge", road.project.string(), base.string()});
            EXPECT_FALSE(guard.fired()) << "the merge waited on the FIFO";
        }
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err, odd.string() + ": " + c.message + "\n");
        EXPECT_FALSE(std::filesystem::exists(road.project / MergedFirmwareName(base)));
    }
}
#endif

struct FlashCase {
    const char* name;
    const char* firmware;  // written to "fw 1.sx"
    const char* port;
    const char* verdict;
    int exitCode;
};

class FlashToolStandIn : public testing::TestWithParam<FlashCase> {};

TEST_P(FlashToolStandIn, LogsItsArgumentsAndVerdict)
{
    const FlashCase& c = GetParam();
    Road road;
    const std::filesystem::path firmware = road.folder / "fw 1.sx";
    WriteText(firmware, c.firmware);
    EXPECT_EQ(road.flash(firmware.string(), c.port), c.exitCode);
    EXPECT_EQ(road.log(), "\"" + firmware.string() + "\" \"" + c.port + "\" " + c.verdict + "\n");
}

INSTANTIATE_TEST_SUITE_P(Cases, FlashToolStandIn, testing::Values(
    FlashCase{"WellFormed", "S00600004844521B\r\nS1133880736EE1C44FE35B59D6F38ECEC80C77BC9C\nS9030000FC\r\n", "0",
              "ok: 3 records", 0},
    FlashCase{"WrongChecksum", "S00600004844521B\r\nS1133880736EE1C44FE35B59D6F38ECEC80C77BC9D\r\nS9030000FC\r\n", "3",
              "refused: line 2: wrong checksum", 1},
    FlashCase{"CountDoesNotMatch", "S00700004844521B\r\nS9030000FC\r\n", "3",
              "refused: line 1: byte count 7 but 6 bytes", 1},
    FlashCase{"LowerCaseTag", "s9030000FC\r\n", "3", "refused: line 1: not an S-record", 1},
    FlashCase{"S9NotLast", "S9030000FC\r\nS00600004844521B\r\n", "3", "refused: the last record is not S9", 1},
    FlashCase{"BlankLastLine", "S9030000FC\r\n\r\n", "3", "refused: line 2: not an S-record", 1},
    FlashCase{"PortOutOfRange", "S9030000FC\r\n", "8", "refused: the port number is not 0 to 7", 1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace trelvant
