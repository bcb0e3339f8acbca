#include "tests/cli/run_tool.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace trelvant {
namespace {

using test::RunTool;
using test::TempFolder;

struct UsageCase {
    const char* name;
    std::vector<std::string> arguments;  // "PROJECT" stands for an empty project folder
    const char* errorText;               // expected within standard error
};

class CliUsage : public testing::TestWithParam<UsageCase> {};

TEST_P(CliUsage, IsRefusedWithUsageTextAndWritesNothing)
{
    TempFolder project;
    std::vector<std::string> arguments = GetParam().arguments;
    for (std::string& argument : arguments)
        if (argument == "PROJECT") argument = project.path().string();
    const test::ToolRun run = RunTool(arguments);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find(GetParam().errorText), std::string::npos) << run.err;
    static const std::set<std::string> commands = {"build", "check", "dump", "merge", "replay", "report", "update"};
    const std::string usage =
        !arguments.empty() && commands.contains(arguments[0]) ? "Usage: trelvant-cli " + arguments[0] : "Usage: trelvant-cli";
    EXPECT_NE(run.err.find(usage), std::string::npos) << run.err;
    EXPECT_TRUE(std::filesystem::is_empty(project.path()));
}

INSTANTIATE_TEST_SUITE_P(Cases, CliUsage, testing::Values(
    UsageCase{"NoCommand", {}, "A subcommand is required"},
    UsageCase{"UnknownCommand", {"frobnicate"}, "A subcommand is required"},
    UsageCase{"BuildWithoutProject", {"build"}, "PROJECT is required"},
    UsageCase{"BuildMissingProject", {"build", "/no/such/project"}, "Directory does not exist"},
    UsageCase{"BuildBadTime", {"build", "PROJECT", "--build-time", "2009-12-31 23:59:58"}, "YYYY-MM-DDTHH:MM:SS"},
    UsageCase{"BuildImpossibleTime", {"build", "PROJECT", "--build-time", "2009-02-30T23:59:58"}, "YYYY-MM-DDTHH:MM:SS"},
    UsageCase{"BuildFebruary29InACommonYear", {"build", "PROJECT", "--build-time", "2025-02-29T12:00:00"}, "YYYY-MM-DDTHH:MM:SS"},
    UsageCase{"BuildFebruary29InACenturyYear", {"build", "PROJECT", "--build-time", "1900-02-29T12:00:00"}, "YYYY-MM-DDTHH:MM:SS"},
    UsageCase{"BuildExtraArgument", {"build", "PROJECT", "more"}, "more"},
    UsageCase{"CheckWithoutProject", {"check"}, "PROJECT is required"},
    UsageCase{"CheckMissingProject", {"check", "/no/such/project"}, "Directory does not exist"},
    UsageCase{"CheckUnknownOption", {"check", "PROJECT", "--yaml"}, "--yaml"},
    UsageCase{"MergeWithoutBase", {"merge", "PROJECT"}, "BASE_FIRMWARE is required"},
    UsageCase{"MergeMissingProject", {"merge", "/no/such/project", "Pelmora.sx"}, "Directory does not exist"},
    UsageCase{"MergeExtraArgument", {"merge", "PROJECT", "Pelmora.sx", "more"}, "more"},
    UsageCase{"UpdateWithoutBase", {"update", "PROJECT"}, "BASE_FIRMWARE is required"},
    UsageCase{"UpdateBadTime", {"update", "PROJECT", "Pelmora.sx", "--build-time", "2026-12-10"}, "YYYY-MM-DDTHH:MM:SS"},
    UsageCase{"ReportWithoutProject", {"report"}, "PROJECT is required"},
    UsageCase{"ReportMissingProject", {"report", "/no/such/project"}, "Directory does not exist"},
    UsageCase{"ReportUnknownFormat", {"report", "PROJECT", "--format", "pdf"}, "pdf"},
    UsageCase{"ReplayWithoutLog", {"replay", "PROJECT"}, "give PROJECT LOG, or BANK1 BANK2 LOG"},
    UsageCase{"ReplayFirmwareAndProject", {"replay", "PROJECT", "a.log", "--firmware", "New_Pelmora.sx"},
              "give LOG alone with --firmware FILE"},
    UsageCase{"ReplayUnknownMatch", {"replay", "PROJECT", "a.log", "--pgn-match", "fuzzy"}, "fuzzy"},
    UsageCase{"DumpWithoutFiles", {"dump"}, "give BANK1 and BANK2, or --firmware FILE"},
    UsageCase{"DumpWithOneBankFile", {"dump", "bank1.bin"}, "give BANK1 and BANK2, or --firmware FILE"},
    UsageCase{"DumpBankFilesAndFirmware", {"dump", "bank1.bin", "bank2.bin", "--firmware", "New_Pelmora.sx"}, "excludes"},
    UsageCase{"DumpThirdBankFile", {"dump", "bank1.bin", "bank2.bin", "bank3.bin"}, "bank3.bin"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace trelvant
