#pragma once

// CAN frames as a log holds them: the candump log format ("candump -l"), read line by line from
// a file of any size and written line by line, behind a source and a sink that a live interface
// can also stand behind.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace trelvant {

class AtomicOutputFile;

// A classic CAN data frame.
struct CanFrame {
    std::int64_t time = 0;     // microseconds, as the log gives them (seconds since the epoch for candump)
    std::uint32_t id = 0;      // 11 bits, or 29 bits when extended
    bool extended = false;
    std::uint8_t length = 0;   // 0 to 8 data bytes
    std::array<std::uint8_t, 8> data{};

    bool operator==(const CanFrame&) const = default;
};

// What one line of a candump log holds.
enum class CandumpLineKind {
    Frame,      // a classic data frame
    Blank,      // an empty line or a comment ("#" or ";" first)
    Remote,     // a remote request frame ("123#R")
    Fd,         // a CAN FD frame ("123##1...") or a CAN XL frame
    Error,      // an error frame (the error flag 0x20000000 in the identifier)
    Malformed,  // anything else
};

struct CandumpLine {
    CandumpLineKind kind = CandumpLineKind::Malformed;
    CanFrame frame;  // for Frame
};

// One line without its line end: "(1436509052.249713) can0 18FEF100#0102030405060708", with an
// optional direction mark " R" or " T" after the data. Three hex digits are an 11-bit
// identifier, eight a 29-bit one; the data is 0 to 8 bytes of two hex digits each. The time may
// carry a minus sign, as CandumpLineText writes a time before zero. A line that is not one of
// these is Malformed; nothing throws.
CandumpLine ParseCandumpLine(std::string_view line);

// "1436509052.249713": a time in microseconds as candump writes it, seconds and six digits.
std::string CandumpTimeText(std::int64_t time);

// "(1436509052.249713) can0 18FEF100#0102030405060708", without a line end.
std::string CandumpLineText(const CanFrame& frame, std::string_view interfaceName = "can0");

// Where frames come from: a log now, a live interface later.
class CanFrameSource {
public:
    virtual ~CanFrameSource() = default;
    // The next data frame; none at the end.
    virtual std::optional<CanFrame> next() = 0;
};

// Where sent frames go.
class CanFrameSink {
public:
    virtual ~CanFrameSink() = default;
    virtual void send(const CanFrame& frame) = 0;
};

// Lines of a log that are not data frames, counted as they are passed over.
struct CandumpSkipped {
    std::size_t remote = 0;
    std::size_t fd = 0;
    std::size_t error = 0;
    std::size_t malformed = 0;
    std::size_t firstMalformedLine = 0;  // counted from 1; 0 when none
};

// Reads a candump log from its file a block at a time: memory stays bounded whatever the size
// of the log. A line longer than kMaxLineLength is malformed. Throws Error("Unable to read
// <path>: <reason>") when the file cannot be opened or read.
class CandumpReader final : public CanFrameSource {
public:
    static constexpr std::size_t kMaxLineLength = 4096;
    static constexpr std::size_t kBlockSize = 64 * 1024;  // read from the file at a time

    explicit CandumpReader(const std::filesystem::path& path);
    ~CandumpReader() override;
    CandumpReader(const CandumpReader&) = delete;
    CandumpReader& operator=(const CandumpReader&) = delete;

    std::optional<CanFrame> next() override;
    // As next(), but reads no further block of the file once budget bytes were read, each block
    // taken from budget: then none, with ended() still false, and the next call goes on where this
    // one stopped. A long stretch without a frame is so read a slice at a time.
    std::optional<CanFrame> nextWithin(std::size_t& budget);
    // The end of the file was reached: no more frames.
    bool ended() const { return ended_; }

    const CandumpSkipped& skipped() const { return skipped_; }
    std::size_t lines() const { return lineNumber_; }

private:
    enum class LineRead {
        Line,   // a whole line
        End,    // the end of the file
        Later,  // the budget ran out first
    };

    // The next line without its line end.
    LineRead readLine(std::string_view& line, std::size_t& budget);
    // Takes a block's worth from budget; false when it has run out.
    static bool mayRead(std::size_t& budget);
    // Up to size bytes of the file; fewer at its end.
    std::size_t read(char* into, std::size_t size);

    std::filesystem::path path_;
    std::FILE* file_ = nullptr;
    std::uint64_t readBytes_ = 0;   // of the file so far
    std::uint64_t droppedTo_ = 0;   // the system was told it may drop its cache of the file up to here
    std::unique_ptr<char[]> buffer_;
    std::size_t start_ = 0, end_ = 0;
    bool atEnd_ = false;
    bool ended_ = false;
    bool skipping_ = false;  // the rest of a line too long to hold is being passed over
    std::string longLine_;   // the first kMaxLineLength + 1 bytes of that line
    std::size_t lineNumber_ = 0;
    CandumpSkipped skipped_;
};

// Writes frames as candump log lines, one after the other, to a file made whole on close():
// the lines go to a temporary file beside it, renamed over it at the end.
class CandumpWriter final : public CanFrameSink {
public:
    explicit CandumpWriter(const std::filesystem::path& path, std::string interfaceName = "can0");
    ~CandumpWriter() override;
    CandumpWriter(const CandumpWriter&) = delete;
    CandumpWriter& operator=(const CandumpWriter&) = delete;

    void send(const CanFrame& frame) override;
    // Flushes and renames the file into place; throws Error("Unable to write to <path>: ...").
    void close();

private:
    std::filesystem::path path_;
    std::unique_ptr<AtomicOutputFile> file_;  // none once closed
    std::string interface_;
};

#ifndef _WIN32
// Records frames as candump log lines straight into the file named (that exact name, its links
// followed), each line handed to the system as its frame is sent: a crash or a full disk keeps
// every frame recorded before it. The file is held under an exclusive lock (flock), so that a
// second run naming it is refused instead of emptying a live log. A failed write stops the
// recording without throwing; the file keeps the whole lines before it. POSIX only, as serve.
class CandumpRecorder final : public CanFrameSink {
public:
    // Opens and empties the file; throws Error("Unable to write to <path>: <reason>"), the reason
    // "another program is writing it" for a file locked by another run.
    explicit CandumpRecorder(const std::filesystem::path& path, std::string interfaceName = "can0");
    ~CandumpRecorder() override;
    CandumpRecorder(const CandumpRecorder&) = delete;
    CandumpRecorder& operator=(const CandumpRecorder&) = delete;

    // Writes the frame's line; after a failure, nothing.
    void send(const CanFrame& frame) override;
    // Flushes the file to the disk and closes it; false, with failure() set, when that fails.
    bool close();

    // "Unable to write to <path>: <reason>" once the recording stopped; empty while it goes on.
    const std::string& failure() const { return failure_; }
    std::size_t recorded() const { return recorded_; }  // frames whose lines are in the file

private:
    void fail(int error);

    std::filesystem::path path_;
    int fd_ = -1;
    bool regular_ = false;   // a regular file, which a failed write is cut back in
    std::uint64_t whole_ = 0;  // bytes of the whole lines written
    std::size_t recorded_ = 0;
    std::string interface_;
    std::string failure_;
};
#endif

}  // namespace trelvant
