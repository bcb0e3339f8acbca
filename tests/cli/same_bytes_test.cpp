#include "platform/file_names.h"
#include "tests/cli/run_tool.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace trelvant {
namespace {

using test::ReadText;
using test::RunTool;
using test::TempFolder;
using test::WriteText;

// The example project built and merged into the demonstration firmware at a fixed moment gives
// these bytes on every platform: tests/data/cli/Boiler2 holds what the Linux build writes, and
// the Windows build is held to the same files. After a deliberate change of the outputs,
// regenerate them from a copy of examples/projects/Boiler2 with
//   trelvant-cli update COPY build/.../examples/demo_firmware/Pelmora.sx --build-time 2026-12-10T12:00:00
// and copy COPY/bin/* and COPY/New_Pelmora.sx there.
const std::vector<std::string> kOutputs = {"bin/bank1.bin", "bin/bank2.bin", "bin/bank3.bin", "bin/bank4.bin",
                                           "bin/bank5.bin", "bin/bankg.c",   "New_Pelmora.sx"};

// Where two files first differ, or nothing: a failure names the offset, not 100 KiB of bytes.
std::string firstDifference(const std::string& written, const std::string& expected)
{
    if (written == expected) return {};
    std::size_t at = 0;
    while (at < written.size() && at < expected.size() && written[at] == expected[at]) ++at;
    return "differs at byte " + std::to_string(at) + " (written " + std::to_string(written.size()) + " bytes, expected " +
           std::to_string(expected.size()) + ")";
}

struct Workplace {
    TempFolder folder;
    std::filesystem::path base = folder / "MASTER" / "Pelmora.sx";

    explicit Workplace(const std::filesystem::path& project)
    {
        std::filesystem::create_directories(project.parent_path());
        std::filesystem::copy(TRELVANT_EXAMPLE_PROJECT, project);
        std::filesystem::create_directories(base.parent_path());
        std::filesystem::copy_file(TRELVANT_DEMO_FIRMWARE, base);
    }

    // build, then merge, with the project named as given; every output compared with its golden file.
    void buildMergeAndCompare(const std::filesystem::path& project, const std::string& named) const
    {
        const test::ToolRun build = RunTool({"build", named, "--build-time", "2026-12-10T12:00:00"});
        EXPECT_EQ(build.exitCode, 0) << build.err;
        EXPECT_EQ(build.err, "");
        const test::ToolRun merge = RunTool({"merge", named, DisplayPath(base)});
        EXPECT_EQ(merge.exitCode, 0) << merge.err;
        EXPECT_EQ(merge.err, "");
        for (const std::string& output : kOutputs) {
            const std::filesystem::path written = project / output;
            ASSERT_TRUE(std::filesystem::exists(written)) << output;
            EXPECT_EQ(firstDifference(ReadText(written), ReadText(std::filesystem::path(TRELVANT_CLI_GOLDEN) / output)), "")
                << output;
        }
    }
};

// The documents as a Windows checkout or editor may leave them: the same image from each.
struct Layout {
    const char* name;
    std::function<std::string(const std::string&)> rewrite;
};

class SameBytes : public testing::TestWithParam<Layout> {};

TEST_P(SameBytes, BuildAndMergeWriteTheGoldenFiles)
{
    TempFolder scratch;
    const std::filesystem::path project = scratch / "PROJECTS" / "Boiler2";
    const Workplace place(project);
    for (const auto& entry : std::filesystem::directory_iterator(project))
        WriteText(entry.path(), GetParam().rewrite(ReadText(entry.path())));
    place.buildMergeAndCompare(project, DisplayPath(project));
}

// Each element on a line of its own, the lines ended with CRLF.
std::string crlfLines(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] == '>' && (i + 1 == text.size() || text[i + 1] == '<')) out += "\r\n";
    }
    return out;
}

INSTANTIATE_TEST_SUITE_P(Documents, SameBytes, testing::Values(
    Layout{"AsCheckedIn", [](const std::string& text) { return text; }},
    Layout{"OneElementALineWithCrlf", crlfLines},
    Layout{"ByteOrderMarkAndCrlf", [](const std::string& text) { return "\xEF\xBB\xBF" + crlfLines(text); }}),
    [](const auto& info) { return std::string(info.param.name); });

// The ways a user names the project folder on the command line.
struct Naming {
    const char* name;
    std::string folder;                                              // the project folder's name (UTF-8)
    std::function<std::string(const std::filesystem::path&)> named;  // the argument for the project
};

class ProjectNamed : public testing::TestWithParam<Naming> {};

TEST_P(ProjectNamed, BuildsAndMergesTheSameBytes)
{
    TempFolder scratch;
    const std::filesystem::path project = scratch / "PROJECTS" / PathFromUtf8(GetParam().folder);
    const Workplace place(project);
    place.buildMergeAndCompare(project, GetParam().named(project));
}

const std::string kSeparator(1, static_cast<char>(std::filesystem::path::preferred_separator));

std::vector<Naming> namings()
{
    std::vector<Naming> cases = {
        {"AsTheSystemShowsIt", "Boiler2", [](const auto& project) { return DisplayPath(project); }},
        {"WithATrailingSeparator", "Boiler2", [](const auto& project) { return DisplayPath(project) + kSeparator; }},
        {"BeyondAscii", "Kessel S\xC3\xBC" "d 2", [](const auto& project) { return DisplayPath(project); }},
    };
#ifdef _WIN32
    // Windows takes "/" for "\" and ignores the case of names.
    cases.push_back({"WithForwardSlashes", "Boiler2", [](const auto& project) {
                         const auto text = project.generic_u8string();
                         return std::string(text.begin(), text.end());
                     }});
    cases.push_back(
        {"InAnotherCase", "Boiler2", [](const auto& project) { return DisplayPath(project.parent_path() / "BOILER2"); }});
#endif
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Arguments, ProjectNamed, testing::ValuesIn(namings()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace trelvant
