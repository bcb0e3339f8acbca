#include "platform/atomic_file.h"
#include "platform/atomic_output_file.h"
#include "image/srecord_pass.h"
#include "tests/image/merge_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace trelvant {
namespace {

using test::ReadText;
using test::RecordingReport;
using test::TempFolder;
using test::WriteText;

const std::string kRecords = "S224388000AA\r\nS224388020BB\r\n";  // stands for the bank's 512

// Lines longer than small blocks, line ends of every kind, CRs inside lines and at the end, count
// records S5 and S6, which are written anew with the data records (S1, S2, S3) before them, and
// lines that only begin like them, short and long, which are copied.
const std::string kInput = "S0" + std::string(300, 'A') + "\r\n"  // longer than the block: copied
                           "S1 ends in a line feed only\n"
                           "S224388040" + std::string(300, 'B') + "\r\n"  // first in the window, long
                           "S5 has\ran inner CR\r\n"
                           "S5030000FC\r\n"  // counts 3
                           "S3 has\ran inner CR\r\n"
                           "S224388060CC\r\n"  // in the window, after the bank
                           + std::string(250, 'x') + "\r\r\n"  // content ends in a CR
                           "S6" + std::string(300, '6') + "\n"
                           "S604000000FB\n"  // counts 4
                           "S9030000FC\r\n"
                           "ends with the file\r";

const std::string kOutput = "S0" + std::string(300, 'A') + "\r\n"
                            "S1 ends in a line feed only\r\n"
                            + kRecords +
                            "S5 has\ran inner CR\r\n"
                            "S5030003F9\r\n"
                            "S3 has\ran inner CR\r\n"
                            + std::string(250, 'x') + "\r\r\n"
                            "S6" + std::string(300, '6') + "\r\n"
                            "S5030004F8\r\n"
                            "S9030000FC\r\n"
                            "ends with the file\r\n";

class BlockSize : public testing::TestWithParam<std::size_t> {};

TEST_P(BlockSize, DoesNotChangeWhatIsWrittenOrTheProgress)
{
    TempFolder folder;
    WriteText(folder / "in.sx", kInput);
    std::FILE* input = OpenFile(folder / "in.sx", "rb");
    ASSERT_NE(input, nullptr);
    BankStage stages[] = {BankStage(1, kRecords)};
    RecordingReport report;
    {
        AtomicOutputFile output(folder / "out.sx");
        EXPECT_TRUE(RunMergePass(input, kInput.size(), stages, &output, report, GetParam()));
        ASSERT_TRUE(output.commit());
    }
    std::fclose(input);

    EXPECT_EQ(ReadText(folder / "out.sx"), kOutput);
    EXPECT_FALSE(stages[0].failed());
    EXPECT_EQ(stages[0].result(), MergeResult::Inserted);
    ASSERT_GE(report.steps.size(), 2u);
    EXPECT_EQ(report.steps.front().position, 0u);
    EXPECT_EQ(report.steps.back().position, kInput.size());
    for (std::size_t i = 0; i < report.steps.size(); ++i) {
        EXPECT_EQ(report.steps[i].maximum, kInput.size());
        if (i > 0) {
            EXPECT_GE(report.steps[i].position, report.steps[i - 1].position);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, BlockSize, testing::Values(20, 21, 22, 23, 31, 64, 77, 78, 249, 250, 251, 252, 253,
                                                           301, 302, 303, 304, kMergeBlockSize));

TEST(MergePass, AReadErrorStopsItAtTheLineBeingRead)
{
    TempFolder folder;
    WriteText(folder / "in.sx", kInput);
    std::FILE* input = OpenFile(folder / "in.sx", "rb");
    ASSERT_NE(input, nullptr);
    // Reading fails: the descriptor beneath the stream is made write-only. (A stream opened with
    // "wb" would do on Linux, but Wine's C library reads nothing there without an error.)
#ifdef _WIN32
    const int writeOnly = _wopen((folder / "in.sx").c_str(), _O_WRONLY);
#else
    const int writeOnly = open((folder / "in.sx").c_str(), O_WRONLY);
#endif
    ASSERT_GE(writeOnly, 0);
    ASSERT_NE(dup2(writeOnly, fileno(input)), -1);
    close(writeOnly);
    BankStage stages[] = {BankStage(1, kRecords), BankStage(2, kRecords)};
    RecordingReport report;
    EXPECT_FALSE(RunMergePass(input, kInput.size(), stages, nullptr, report));
    std::fclose(input);
    ASSERT_TRUE(stages[0].failed());
    EXPECT_EQ(stages[0].failure()->line, 1u);
    EXPECT_EQ(stages[0].failure()->reason, "Bad file descriptor");
    EXPECT_EQ(stages[0].result(), MergeResult::Stopped);
    EXPECT_FALSE(stages[1].failed());
}

// The failing line is counted the same way whatever the block size and the length of the lines.
class FailingLine : public testing::TestWithParam<std::size_t> {};

TEST_P(FailingLine, IsNumberedFromOneAcrossBlocks)
{
    struct Case {
        std::string input;
        std::uint64_t line;
        std::string reason;
    };
    const std::string longLine = "S0" + std::string(300, 'A');
    const std::vector<Case> cases = {
        {"\r\nS9030000FC\r\n", 1, "empty line"},
        {longLine + "\r\n" + longLine + "\n\r\nS9030000FC\r\n", 3, "empty line"},
        {longLine + "\nS1 x\r\n" + longLine + "\r\nS2143880\r\n", 4, "S2 record shorter than ten characters"},
        {"S0\r\nS2" + std::string(300, 'G') + "\r\n", 2, "address is not hexadecimal"},
        {"S0\r\nS224388040\r\nS9030000FC\r\n\r\n", 4, "empty line"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input.substr(0, 40));
        TempFolder folder;
        WriteText(folder / "in.sx", c.input);
        std::FILE* input = OpenFile(folder / "in.sx", "rb");
        ASSERT_NE(input, nullptr);
        BankStage stages[] = {BankStage(1, kRecords)};
        RecordingReport report;
        EXPECT_TRUE(RunMergePass(input, c.input.size(), stages, nullptr, report, GetParam()));
        std::fclose(input);
        ASSERT_TRUE(stages[0].failed());
        EXPECT_EQ(stages[0].failure()->line, c.line);
        EXPECT_EQ(stages[0].failure()->reason, c.reason);
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, FailingLine, testing::Values(20, 21, 33, 64, 301, 302, 303, kMergeBlockSize));

struct CountLineCase {
    const char* name;
    std::string line;     // follows one data record
    std::string written;  // what the pass writes for it
};

class CountLine : public testing::TestWithParam<CountLineCase> {};

// Only a well-formed S5 or S6 record is a count, written anew; anything else is copied as read.
TEST_P(CountLine, IsCountedAnewOnlyWhenWellFormed)
{
    const CountLineCase& c = GetParam();
    const std::string data = "S1050000AABB95\r\n";
    const std::string input = data + c.line + "\r\nS9030000FC\r\n";
    TempFolder folder;
    WriteText(folder / "in.sx", input);
    std::FILE* in = OpenFile(folder / "in.sx", "rb");
    ASSERT_NE(in, nullptr);
    BankStage stages[] = {BankStage(1, kRecords)};
    RecordingReport report;
    {
        AtomicOutputFile output(folder / "out.sx");
        EXPECT_TRUE(RunMergePass(in, input.size(), stages, &output, report));
        ASSERT_TRUE(output.commit());
    }
    std::fclose(in);
    EXPECT_EQ(ReadText(folder / "out.sx"), data + c.written + "\r\nS9030000FC\r\n");
}

INSTANTIATE_TEST_SUITE_P(Lines, CountLine, testing::Values(
    CountLineCase{"TextBeginningWithS5", "S5 stands for the count of records", "S5 stands for the count of records"},
    CountLineCase{"WrongChecksum", "S5030005F8", "S5030005F8"},
    CountLineCase{"WrongByteCount", "S5040005F6", "S5040005F6"},
    CountLineCase{"NotHexadecimal", "S50300G5F7", "S50300G5F7"},
    CountLineCase{"OddNumberOfDigits", "S5030005F70", "S5030005F70"},
    CountLineCase{"DataAfterTheCount", "S5050005AABB90", "S5050005AABB90"},
    CountLineCase{"LowerCaseType", "s5030005F7", "s5030005F7"},
    CountLineCase{"WellFormedS5", "S5030005F7", "S5030001FB"},
    CountLineCase{"WellFormedS6", "S604000005F6", "S5030001FB"},
    CountLineCase{"LowerCaseDigits", "S50300a557", "S5030001FB"}),
    [](const auto& info) { return std::string(info.param.name); });

struct CountCase {
    std::uint64_t dataRecords;
    std::optional<std::string> record;
};

class Count : public testing::TestWithParam<CountCase> {};

TEST_P(Count, IsS5WhenItFitsSixteenBitsAndS6UpToTwentyFour)
{
    EXPECT_EQ(CountRecord(GetParam().dataRecords), GetParam().record);
}

INSTANTIATE_TEST_SUITE_P(Records, Count, testing::Values(
    CountCase{0, "S5030000FC"},
    CountCase{3, "S5030003F9"},
    CountCase{0xFFFF, "S503FFFFFE"},
    CountCase{0x10000, "S604010000FA"},
    CountCase{0xFFFFFF, "S604FFFFFFFE"},
    CountCase{0x1000000, std::nullopt}));

}  // namespace
}  // namespace trelvant
