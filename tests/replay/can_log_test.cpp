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
#include <memory>
#include <optional>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

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

// Frames read through nextWithin with a budget per call, as serve reads a slice per turn.
struct SlicedRead {
    std::vector<CanFrame> frames;
    std::size_t calls = 0;            // calls made up to the end
    std::size_t callsBeforeFirst = 0;  // calls that gave none before the first frame
};

SlicedRead readInSlices(CandumpReader& reader, std::size_t slice)
{
    SlicedRead read;
    while (!reader.ended()) {
        std::size_t budget = slice;
        const std::optional<CanFrame> next = reader.nextWithin(budget);
        ++read.calls;
        if (next)
            read.frames.push_back(*next);
        else if (read.frames.empty() && !reader.ended())
            ++read.callsBeforeFirst;
    }
    return read;
}

TEST(CandumpReader, ReadsALongStretchWithoutAFrameASliceAtATime)
{
    TempFolder folder;
    const std::string lastLine = "(2.000000) can0 18FEF100#0102030405060708\n";
    const CanFrame last = frame(2000000, 0x18FEF100, true, {1, 2, 3, 4, 5, 6, 7, 8});
    std::string fdLines;
    while (fdLines.size() < 4 * 1024 * 1024) fdLines += "(1.000000) can0 123##1AABBCCDDEEFF00112233\n";
    struct Case {
        std::string what;
        std::string stretch;  // before the one frame
        CandumpSkipped skipped;
    };
    const std::vector<Case> cases = {
        {"a run of NUL bytes without a line end", std::string(4 * 1024 * 1024, '\0') + "\n", {0, 0, 0, 1, 1}},
        {"CAN FD lines", fdLines, {0, static_cast<std::size_t>(std::count(fdLines.begin(), fdLines.end(), '\n')), 0, 0, 0}},
    };
    const std::size_t kSlice = 2 * CandumpReader::kBlockSize;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteText(folder / "log", c.stretch + lastLine);
        CandumpReader reader(folder / "log");
        const SlicedRead read = readInSlices(reader, kSlice);
        EXPECT_EQ(read.frames, std::vector<CanFrame>{last});
        // Each call read its slice at most: the 4 MiB took at least 32 calls of 128 KiB.
        EXPECT_GE(read.callsBeforeFirst, c.stretch.size() / kSlice - 1);
        EXPECT_EQ(reader.skipped().fd, c.skipped.fd);
        EXPECT_EQ(reader.skipped().malformed, c.skipped.malformed);
        EXPECT_EQ(reader.lines(), static_cast<std::size_t>(std::count(c.stretch.begin(), c.stretch.end(), '\n')) + 1);
        std::size_t budget = kSlice;
        EXPECT_FALSE(reader.nextWithin(budget));
        EXPECT_EQ(budget, kSlice) << "nothing is read past the end";
    }
}

TEST(CandumpReader, ReadsTheSameFramesInSlicesOfAnySize)
{
    TempFolder folder;
    std::string text;
    std::vector<CanFrame> expected;
    std::size_t overLong = 0;
    for (std::uint32_t i = 0; text.size() < 400000; ++i) {
        if (i % 50 == 49) {
            text += std::string(CandumpReader::kMaxLineLength + 1 + i % 7000, 'z') + "\n";
            ++overLong;
            continue;
        }
        const CanFrame f = frame(i, i % 0x800, false, {static_cast<std::uint8_t>(i)});
        expected.push_back(f);
        text += CandumpLineText(f, "can" + std::string(i * 37 % 300, 'x')) + (i % 3 ? "\n" : "\r\n");
    }
    WriteText(folder / "big.log", text);
    for (const std::size_t slice : {std::size_t{0}, std::size_t{1}, std::size_t{1000}, CandumpReader::kBlockSize,
                                    3 * CandumpReader::kBlockSize + 17}) {
        SCOPED_TRACE("slice of " + std::to_string(slice) + " bytes");
        CandumpReader reader(folder / "big.log");
        // A budget of nothing reads nothing of the file: no frame ever comes.
        if (slice == 0) {
            std::size_t budget = 0;
            for (int i = 0; i < 3; ++i) EXPECT_FALSE(reader.nextWithin(budget));
            EXPECT_FALSE(reader.ended());
            EXPECT_EQ(reader.lines(), 0u);
            continue;
        }
        const SlicedRead read = readInSlices(reader, slice);
        EXPECT_EQ(read.frames, expected);
        EXPECT_EQ(reader.skipped().malformed, overLong);
        EXPECT_GE(read.calls, text.size() / std::max(slice, CandumpReader::kBlockSize));
    }
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

#ifndef _WIN32  // the recorder of serve, which is POSIX only
TEST(CandumpRecorder, EachLineIsInTheFileAsItsFrameIsSent)
{
    TempFolder folder;
    WriteText(folder / "sent.log", "(1.000000) can0 123#11\n");
    const std::vector<CanFrame> frames = {frame(1436509052249713, 0x18FEF100, true, {1, 2}),
                                          frame(1436509052250000, 0x7E0, false)};
    std::string expected;
    {
        CandumpRecorder recorder(folder / "sent.log", "vcan0");
        EXPECT_EQ(ReadText(folder / "sent.log"), "") << "an older log of the name is emptied";
        for (const CanFrame& f : frames) {
            recorder.send(f);
            expected += CandumpLineText(f, "vcan0") + "\n";
            EXPECT_EQ(ReadText(folder / "sent.log"), expected);
        }
        EXPECT_EQ(recorder.recorded(), frames.size());
        // Never closed, as after a crash.
    }
    EXPECT_EQ(ReadText(folder / "sent.log"), expected);
    EXPECT_EQ(entriesOf(folder.path()), std::vector<std::string>{"sent.log"});

    CandumpRecorder closed(folder / "closed.log");
    closed.send(frames[0]);
    EXPECT_TRUE(closed.close());
    EXPECT_TRUE(closed.failure().empty());
    EXPECT_EQ(ReadText(folder / "closed.log"), CandumpLineText(frames[0]) + "\n");
}

TEST(CandumpRecorder, ASecondRecorderOfTheSameFileIsRefusedAndChangesNothing)
{
    struct Case {
        std::string what;
        std::string second;  // the name the second recorder is given
        bool refused;
    };
    const std::vector<Case> cases = {
        {"the same name", "sent.log", true},
        {"a symbolic link to it", "link.log", true},
        {"a hard link to it", "hard.log", true},
        {"its name in another case, another file", "SENT.log", false},
    };
    const CanFrame first = frame(1000000, 0x123, false, {0x11});
    const CanFrame second = frame(2000000, 0x456, false, {0x22});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        auto live = std::make_unique<CandumpRecorder>(folder / "sent.log");
        live->send(first);
        std::filesystem::create_symlink("sent.log", folder / "link.log");
        std::filesystem::create_hard_link(folder / "sent.log", folder / "hard.log");
        if (c.refused) {
            try {
                CandumpRecorder refused(folder / c.second);
                ADD_FAILURE() << "a second recorder took a live log";
            } catch (const Error& e) {
                EXPECT_EQ(std::string(e.what()),
                          "Unable to write to " + DisplayPath(folder / c.second) + ": another program is writing it");
            }
        } else {
            CandumpRecorder other(folder / c.second);
            other.send(second);
            EXPECT_EQ(ReadText(folder / c.second), CandumpLineText(second) + "\n");
        }
        live->send(second);
        EXPECT_EQ(ReadText(folder / "sent.log"), CandumpLineText(first) + "\n" + CandumpLineText(second) + "\n");
        // Once the first is done, the name is free again.
        live.reset();
        CandumpRecorder next(folder / c.second);
        EXPECT_EQ(ReadText(folder / c.second), "");
    }
}

// What a recorder did under a file size limit, run in a child process so that the limit stays
// there: its failure and its count of frames, over a pipe.
std::string recordInChild(const std::filesystem::path& path, std::optional<rlim_t> sizeLimit, int frames)
{
    int ends[2];
    if (::pipe(ends) != 0) return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ends[0]);
        if (sizeLimit) {
            const rlimit limit{*sizeLimit, *sizeLimit};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(2);
        }
        std::string report;
        try {
            CandumpRecorder recorder(path);
            for (int i = 0; i < frames; ++i)
                recorder.send(frame(1000000 + i, 0x18FEF100, true, {1, 2, 3, 4, 5, 6, 7, 8}));
            report = recorder.failure() + "|" + std::to_string(recorder.recorded());
            recorder.close();
            report += "|" + recorder.failure();
        } catch (const Error& e) {
            report = std::string("thrown: ") + e.what();
        }
        const ssize_t written = ::write(ends[1], report.data(), report.size());
        ::_exit(written == static_cast<ssize_t>(report.size()) ? 0 : 3);
    }
    ::close(ends[1]);
    std::string report;
    char bytes[512];
    for (ssize_t got; (got = ::read(ends[0], bytes, sizeof bytes)) > 0;) report.append(bytes, static_cast<std::size_t>(got));
    ::close(ends[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "the child ended with status " + std::to_string(status);
    return report;
}

TEST(CandumpRecorder, AFailedWriteStopsTheRecordingAndKeepsTheWholeLines)
{
    TempFolder folder;
    const std::string line = CandumpLineText(frame(1000000, 0x18FEF100, true, {1, 2, 3, 4, 5, 6, 7, 8})) + "\n";
    struct Case {
        std::string what;
        std::filesystem::path path;
        std::optional<rlim_t> sizeLimit;
        int errorNumber;
        std::size_t kept;  // whole lines left in the file
    };
    const std::vector<Case> cases = {
        {"a full disk", "/dev/full", std::nullopt, ENOSPC, 0},
        {"a file size limit two and a half lines long", folder / "limited.log", line.size() * 5 / 2, EFBIG, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string failure = "Unable to write to " + DisplayPath(c.path) + ": " + SystemReason(c.errorNumber);
        // Sending goes on after the failure, and closing tells the same.
        EXPECT_EQ(recordInChild(c.path, c.sizeLimit, 5), failure + "|" + std::to_string(c.kept) + "|" + failure);
        if (c.path != "/dev/full") {
            std::string expected;
            for (std::size_t i = 0; i < c.kept; ++i)
                expected += CandumpLineText(frame(1000000 + static_cast<std::int64_t>(i), 0x18FEF100, true,
                                                  {1, 2, 3, 4, 5, 6, 7, 8})) + "\n";
            EXPECT_EQ(ReadText(c.path), expected);
        }
    }
}
#endif

}  // namespace
}  // namespace trelvant
