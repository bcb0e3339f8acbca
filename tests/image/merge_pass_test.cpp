#include "platform/atomic_output_file.h"
#include "image/srecord_pass.h"
#include "tests/image/merge_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace trelvant {
namespace {

using test::ReadText;
using test::RecordingReport;
using test::TempFolder;
using test::WriteText;

const std::string kRecords = "S224388000AA\r\nS224388020BB\r\n";  // stands for the bank's 512

// Lines longer than small blocks, line ends of every kind, CRs inside lines and at the end.
const std::string kInput = "S0" + std::string(300, 'A') + "\r\n"  // longer than the block: copied
                           "S1 ends in a line feed only\n"
                           "S224388040" + std::string(300, 'B') + "\r\n"  // first in the window, long
                           "S5 has\ran inner CR\r\n"
                           "S224388060CC\r\n"  // in the window, after the bank
                           + std::string(250, 'x') + "\r\r\n"  // content ends in a CR
                           "S9030000FC\r\n"
                           "ends with the file\r";

const std::string kOutput = "S0" + std::string(300, 'A') + "\r\n"
                            "S1 ends in a line feed only\r\n"
                            + kRecords +
                            "S5 has\ran inner CR\r\n"
                            + std::string(250, 'x') + "\r\r\n"
                            "S9030000FC\r\n"
                            "ends with the file\r\n";

class BlockSize : public testing::TestWithParam<std::size_t> {};

TEST_P(BlockSize, DoesNotChangeWhatIsWrittenOrTheProgress)
{
    TempFolder folder;
    WriteText(folder / "in.sx", kInput);
    std::FILE* input = std::fopen((folder / "in.sx").c_str(), "rb");
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

TEST(MergePass, AReadErrorStopsIt)
{
    TempFolder folder;
    WriteText(folder / "in.sx", kInput);
    std::FILE* input = std::fopen((folder / "in.sx").c_str(), "wb");  // reading it fails
    ASSERT_NE(input, nullptr);
    BankStage stages[] = {BankStage(1, kRecords)};
    RecordingReport report;
    EXPECT_FALSE(RunMergePass(input, kInput.size(), stages, nullptr, report));
    std::fclose(input);
}

}  // namespace
}  // namespace trelvant
