#include "documents/frame_rows.h"
#include "platform/file_names.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace trelvant {
namespace {

struct CheckCase {
    const char* name;
    Direction direction;
    std::vector<FrameRow> rows;
    std::optional<std::string> message;

    friend void PrintTo(const CheckCase& c, std::ostream* os) { *os << c.name; }
};

class FrameRowChecks : public testing::TestWithParam<CheckCase> {};

TEST_P(FrameRowChecks, NameTheFirstFailureOnly)
{
    const CheckCase& c = GetParam();
    EXPECT_EQ(CheckFrameRows(c.direction, c.rows), c.message);
}

const char* const kReceiveIdDevice = "!! The ID Device must be between 0 and 239";
const char* const kPriority = "!! The Priority of J1939 frame must be between 0 and 7";
const char* const kDataPage = "!! The Data Page of J1939 frame must be either 0 or 1";
const char* const kTransmitIdDevice = "!! The ID Device must be between 0 and 239";

std::string InRow(int row, const char* message)
{
    return "Error in row " + std::to_string(row) + message;
}

INSTANTIATE_TEST_SUITE_P(Cases, FrameRowChecks, testing::Values(
    CheckCase{"EmptyGrid", Direction::Receive, {}, std::nullopt},
    CheckCase{"EmptyTransmitGrid", Direction::Transmit, {{"", "", "", "", ""}}, std::nullopt},
    CheckCase{"ReceiveHexLimit", Direction::Receive, {{"61444", "0xEF", "", ""}, {"abc", "0", "Y", "x"}}, std::nullopt},
    CheckCase{"ReceiveAboveLimit", Direction::Receive, {{"61444", "0xF0", "", ""}}, InRow(1, kReceiveIdDevice)},
    CheckCase{"ReceiveNegative", Direction::Receive, {{"1", "-1", "N", ""}}, InRow(1, kReceiveIdDevice)},
    CheckCase{"ReceiveEmptyIdDevice", Direction::Receive, {{"61444", "", "", ""}}, InRow(1, kReceiveIdDevice)},
    CheckCase{"ReceiveTrailingBlank", Direction::Receive, {{"1", "5 ", "", ""}}, InRow(1, kReceiveIdDevice)},
    CheckCase{"FirstFailingRowOnly", Direction::Receive,
              {{"1", "0"}, {"2", "300"}, {"3", "1"}, {"4", "2"}, {"5", "999"}}, InRow(2, kReceiveIdDevice)},
    CheckCase{"RowsAfterTheEndAreNotChecked", Direction::Receive,
              {{"1", "0"}, {"", "300"}, {"3", "999"}}, std::nullopt},
    CheckCase{"TransmitLimits", Direction::Transmit, {{"7", "1", "0xFEF1", "239", ""}, {"0", "0", "", "0", ""}},
              std::nullopt},
    CheckCase{"PriorityEight", Direction::Transmit, {{"8", "0", "1", "0", ""}}, InRow(1, kPriority)},
    CheckCase{"PriorityWord", Direction::Transmit, {{"high", "0", "1", "0", ""}}, InRow(1, kPriority)},
    CheckCase{"DataPageTwo", Direction::Transmit, {{"3", "2", "1", "0", ""}}, InRow(1, kDataPage)},
    CheckCase{"DataPageEmpty", Direction::Transmit, {{"3", "", "1", "0", ""}}, InRow(1, kDataPage)},
    CheckCase{"TransmitIdDevice", Direction::Transmit, {{"3", "1", "1", "240", ""}}, InRow(1, kTransmitIdDevice)},
    CheckCase{"PriorityBeforeDataPage", Direction::Transmit, {{"9", "5", "1", "999", ""}}, InRow(1, kPriority)},
    CheckCase{"TransmitSecondRow", Direction::Transmit,
              {{"3", "0", "1", "0", ""}, {"3", "0", "1", "0x100", ""}}, InRow(2, kTransmitIdDevice)}),
    [](const testing::TestParamInfo<CheckCase>& info) { return std::string(info.param.name); });

TEST(FrameListLength, EndsAtTheFirstEmptyFirstText)
{
    EXPECT_EQ(FrameListLength({}), 0u);
    EXPECT_EQ(FrameListLength({{"1"}, {"2"}, {"3"}, {"", "9"}, {"5"}}), 3u);
    EXPECT_EQ(FrameListLength({{"1"}, {}, {"3"}}), 1u);
    EXPECT_EQ(FrameListLength({{" "}, {"x"}}), 2u);  // a blank is text
}

TEST(KeepEditableFrames, CutsToTheGridAndSaysSo)
{
    const std::filesystem::path path = std::filesystem::path("/p") / "RCobDef.xml";
    std::vector<FrameRow> rows(kMaxFrames, FrameRow{"1", "0", "N", ""});
    EXPECT_EQ(KeepEditableFrames(path, rows), std::nullopt);
    EXPECT_EQ(rows.size(), kMaxFrames);

    rows.push_back({"251", "0", "N", ""});
    const std::optional<std::string> message = KeepEditableFrames(path, rows);
    ASSERT_TRUE(message.has_value());
    EXPECT_EQ(*message, DisplayPath(path) + " holds 251 frames, of which only the first 250 can be edited; "
                                            "OK writes these 250 only");
    ASSERT_EQ(rows.size(), kMaxFrames);
    EXPECT_EQ(rows.back().front(), "1");
}

}  // namespace
}  // namespace trelvant
