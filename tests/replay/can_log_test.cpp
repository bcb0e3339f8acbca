#include "replay/can_log.h"

#include "platform/error.h"
#include "platform/file_names.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

namespace trelvant {
namespace {

using test::ReadText;
using test::TempFolder;
using test::WriteText;

using Kind = CandumpLineKind;

CanFrame frame(std::int64_t time, std::uint32_t id, bool extended, std::vector<std::uint8_t> bytes = {})
{
    CanFrame f;
    f.time = time;
    f.id = id;
    f.extended = extended;
    f.length = static_cast<std::uint8_t>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), f.data.begin());
    return f;
}

std::vector<std::string> entriesOf(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

TEST(CandumpLine, TellsEachKindOfLine)
{
    struct Case {
        std::string line;
        Kind kind;
        CanFrame frame;  // for Frame
    };
    const std::int64_t kLatest = std::numeric_limits<std::int64_t>::max();
    const std::int64_t kEarliest = std::numeric_limits<std::int64_t>::min();
    const std::vector<Case> cases = {
        {"(1436509052.249713) can0 18FEF100#0102030405060708", Kind::Frame,
         frame(1436509052249713, 0x18FEF100, true, {1, 2, 3, 4, 5, 6, 7, 8})},
        {"(0.000001) vcan0 123#", Kind::Frame, frame(1, 0x123, false)},
        {"(1.5) can1 7ff#deadBEEF", Kind::Frame, frame(1500000, 0x7FF, false, {0xDE, 0xAD, 0xBE, 0xEF})},
        {"(2.123456789) can0 0000012a#11", Kind::Frame, frame(2123456, 0x12A, true, {0x11})},
        {"(3.000000) can0 123#1122 R", Kind::Frame, frame(3000000, 0x123, false, {0x11, 0x22})},
        {"(3.000000) can0 123#1122 T\r", Kind::Frame, frame(3000000, 0x123, false, {0x11, 0x22})},
        {"  (3.000000) can0 123#  \t\r", Kind::Frame, frame(3000000, 0x123, false)},
        {"(3.000000) can0 1FFFFFFF#0102030405060708_C", Kind::Frame,
         frame(3000000, 0x1FFFFFFF, true, {1, 2, 3, 4, 5, 6, 7, 8})},
        {"(-1.500000) can0 000#", Kind::Frame, frame(-1500000, 0, false)},
        {"(9223372036854.775807) can0 123#", Kind::Frame, frame(kLatest, 0x123, false)},
        {"(-9223372036854.775808) can0 123#", Kind::Frame, frame(kEarliest, 0x123, false)},
        {"", Kind::Blank, {}},
        {" \t \r", Kind::Blank, {}},
        {"# candump log", Kind::Blank, {}},
        {"  ; (1.000000) can0 123#11", Kind::Blank, {}},
        {"(1.000000) can0 123#R", Kind::Remote, {}},
        {"(1.000000) can0 18FEF100#R3 R", Kind::Remote, {}},
        {"(1.000000) can0 123##10011223344556677", Kind::Fd, {}},
        {"(1.000000) can0 123###80:00:00000000#1122", Kind::Fd, {}},
        {"(1.000000) can0 20000080#0000000000000000", Kind::Error, {}},
        {"(1.000000) can0 800#11", Kind::Malformed, {}},
        {"(1.000000) can0 40000000#11", Kind::Malformed, {}},
        {"(1.000000) can0 0123#11", Kind::Malformed, {}},
        {"(1.000000) can0 123#112", Kind::Malformed, {}},
        {"(1.000000) can0 123#010203040506070809", Kind::Malformed, {}},
        {"(1.000000) can0 123#0102_9", Kind::Malformed, {}},
        {"(1.000000) can0 123#R9", Kind::Malformed, {}},
        {"(1.000000) can0 123#11R", Kind::Malformed, {}},
        {"(1.000000) can0 123#11 X", Kind::Malformed, {}},
        {"(9223372036854.775808) can0 123#", Kind::Malformed, {}},
        {"(99999999999999999999.000000) can0 123#", Kind::Malformed, {}},
        {"(1436509052) can0 123#11", Kind::Malformed, {}},
        {"(1.) can0 123#11", Kind::Malformed, {}},
        {"(.5) can0 123#11", Kind::Malformed, {}},
        {"(1.1234567890) can0 123#11", Kind::Malformed, {}},
        {"(1.000000) 123#11", Kind::Malformed, {}},
        {"(1.000000)  can0 123#11", Kind::Malformed, {}},
        {std::string("(1.000000) can0 123#11\0", 23), Kind::Malformed, {}},
        {"can0 123#11", Kind::Malformed, {}},
        {"hello world", Kind::Malformed, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const CandumpLine parsed = ParseCandumpLine(c.line);
        EXPECT_EQ(parsed.kind, c.kind);
        EXPECT_EQ(parsed.frame, c.frame);
    }
}

TEST(CandumpLine, TextReadsBackAsTheSameFrame)
{
    struct Case {
        CanFrame frame;
        std::string interfaceName;
        std::string text;
    };
    const std::vector<Case> cases = {
        {frame(1436509052249713, 0x18FEF100, true, {1, 2, 3, 4, 5, 6, 7, 0xAB}), "can0",
         "(1436509052.249713) can0 18FEF100#01020304050607AB"},
        {frame(5, 0x12, false, {0xCD}), "vcan1", "(0.000005) vcan1 012#CD"},
        {frame(0, 0x3, true), "can0", "(0.000000) can0 00000003#"},
        {frame(-1, 0x7FF, false), "can0", "(-0.000001) can0 7FF#"},
        {frame(-2500000, 0x100, false, {0}), "can0", "(-2.500000) can0 100#00"},
        {frame(std::numeric_limits<std::int64_t>::min(), 0x1FFFFFFF, true), "can0",
         "(-9223372036854.775808) can0 1FFFFFFF#"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(CandumpLineText(c.frame, c.interfaceName), c.text);
        const CandumpLine parsed = ParseCandumpLine(c.text);
        EXPECT_EQ(parsed.kind, Kind::Frame);
        EXPECT_EQ(parsed.frame, c.frame);
    }
}

TEST(CandumpReader, ReadsFramesAndCountsTheLinesItPassesOver)
{
    TempFolder folder;
    const std::size_t kMax = CandumpReader::kMaxLineLength;
    // A well-formed frame line of exactly the longest length and one a byte longer.
    const auto lineOfLength = [](std::size_t length, const std::string& time) {
        const std::string head = "(" + time + ") ";
        const std::string tail = " 456#77";
        return head + std::string(length - head.size() - tail.size(), 'c') + tail;
    };
    const std::string longest = lineOfLength(kMax, "1.000003");
    WriteText(folder / "log.txt",
              "(1.000000) can0 123#11\r\n"               // 1
              "# recorded on the bench\r\n"              // 2
              "(1.000001) can0 123#R\n"                  // 3
              "(1.000002) can0 123##0112\n"              // 4
              "nonsense\n"                               // 5: the first malformed
              + lineOfLength(kMax + 1, "1.000003") + "\n"  // 6
              + longest + "\r\n"                         // 7
              + std::string(100000, 'x') + "\n"          // 8: longer than a block of the reader
              "\n"                                       // 9
              "(1.000004) can0 20000004#0000000000000000\n"  // 10
              "(1.000005) can0 18FEF100#0102030405060708");  // 11, without a line end

    CandumpReader reader(folder / "log.txt");
    std::vector<CanFrame> frames;
    while (const std::optional<CanFrame> next = reader.next()) frames.push_back(*next);
    EXPECT_EQ(frames, (std::vector<CanFrame>{frame(1000000, 0x123, false, {0x11}),
                                             frame(1000003, 0x456, false, {0x77}),
                                             frame(1000005, 0x18FEF100, true, {1, 2, 3, 4, 5, 6, 7, 8})}));
    EXPECT_EQ(reader.lines(), 11u);
    EXPECT_EQ(reader.skipped().remote, 1u);
    EXPECT_EQ(reader.skipped().fd, 1u);
    EXPECT_EQ(reader.skipped().error, 1u);
    EXPECT_EQ(reader.skipped().malformed, 3u);
    EXPECT_EQ(reader.skipped().firstMalformedLine, 5u);
    EXPECT_FALSE(reader.next());
}

TEST(CandumpReader, ReadsEveryLineAcrossItsBlocks)
{
    TempFolder folder;
    const std::size_t kMax = CandumpReader::kMaxLineLength;
    const std::size_t kFirstBlock = 64 * 1024;  // what the reader reads first
    std::string text;
    std::vector<CanFrame> expected;
    std::size_t overLong = 0, lines = 0;
    // Comments, then a line of the longest length whose CR ends the first block and whose LF
    // begins the next.
    for (; text.size() < kFirstBlock - 1 - kMax; ++lines)
        text += std::string(std::min<std::size_t>(100, kFirstBlock - 1 - kMax - text.size()) - 1, '#') + "\n";
    const CanFrame longest = frame(-1, 0x7FF, false, {1, 2, 3, 4, 5, 6, 7, 8});
    const std::string head = CandumpLineText(longest, "");
    text += CandumpLineText(longest, std::string(kMax - head.size(), 'i')) + "\r\n";
    ++lines;
    expected.push_back(longest);
    ASSERT_EQ(text.substr(kFirstBlock - 1, 2), "\r\n");
    // Then lines of many lengths, over-long ones among them, so that the ends of the later blocks
    // fall at other places of a line.
    for (std::uint32_t i = 0; text.size() < 600000; ++i, ++lines) {
        if (i % 97 == 96) {
            text += std::string(kMax + 1 + i % 5, 'z') + (i % 2 ? "\r\n" : "\n");
            ++overLong;
            continue;
        }
        const auto low = static_cast<std::uint8_t>(i), high = static_cast<std::uint8_t>(i >> 8);
        const CanFrame f = frame(i, i % 0x800, false, {low, high});
        expected.push_back(f);
        text += CandumpLineText(f, "can" + std::string(i * 37 % 3000, 'x')) + (i % 3 ? "\n" : "\r\n");
    }
    WriteText(folder / "big.log", text);

    CandumpReader reader(folder / "big.log");
    std::vector<CanFrame> frames;
    while (const std::optional<CanFrame> next = reader.next()) frames.push_back(*next);
    EXPECT_EQ(frames, expected);
    EXPECT_EQ(reader.lines(), lines);
    EXPECT_EQ(reader.skipped().malformed, overLong);
}

TEST(CandumpReader, RefusesAFileItCannotRead)
{
    TempFolder folder;
    try {
        CandumpReader reader(folder / "missing.log");
        FAIL() << "a missing file was read";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Unable to read " + DisplayPath(folder / "missing.log") + ": " + SystemReason(ENOENT));
    }
}

TEST(CandumpWriter, TheLogAppearsWholeOnClose)
{
    TempFolder folder;
    const std::vector<CanFrame> frames = {frame(1436509052249713, 0x18FEF100, true, {1, 2}),
                                          frame(1436509052250000, 0x7E0, false)};
    CandumpWriter writer(folder / "out.log", "vcan0");
    for (const CanFrame& f : frames) writer.send(f);
    EXPECT_FALSE(std::filesystem::exists(folder / "out.log"));
    writer.close();

    EXPECT_EQ(ReadText(folder / "out.log"),
              "(1436509052.249713) vcan0 18FEF100#0102\n"
              "(1436509052.250000) vcan0 7E0#\n");
    EXPECT_EQ(entriesOf(folder.path()), std::vector<std::string>{"out.log"});
    CandumpReader reader(folder / "out.log");
    EXPECT_EQ(reader.next(), frames[0]);
    EXPECT_EQ(reader.next(), frames[1]);
    EXPECT_FALSE(reader.next());
    EXPECT_THROW(writer.send(frames[0]), Error);
}

TEST(CandumpWriter, LeavesNothingBehindWithoutClose)
{
    TempFolder folder;
    {
        CandumpWriter writer(folder / "new.log");
        writer.send(frame(1, 0x123, false, {1}));
    }
    EXPECT_TRUE(entriesOf(folder.path()).empty());

    WriteText(folder / "old.log", "(1.000000) can0 123#11\n");
    {
        CandumpWriter writer(folder / "old.log");
        writer.send(frame(2, 0x456, false));
    }
    EXPECT_EQ(entriesOf(folder.path()), std::vector<std::string>{"old.log"});
    EXPECT_EQ(ReadText(folder / "old.log"), "(1.000000) can0 123#11\n");
}

}  // namespace
}  // namespace trelvant
