#include "replay/can_log.h"

#include "platform/atomic_file.h"
#include "platform/atomic_output_file.h"
#include "platform/error.h"
#include "platform/file_names.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <limits>

#ifndef _WIN32
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace trelvant {
namespace {

constexpr std::size_t kBlockSize = CandumpReader::kBlockSize;
constexpr std::uint32_t kStandardMask = 0x7FF;
constexpr std::uint32_t kExtendedMask = 0x1FFFFFFF;
constexpr std::uint32_t kErrorFlag = 0x20000000;  // in the identifier of an error frame
constexpr std::uint64_t kMicroseconds = 1'000'000;
constexpr std::size_t kFractionDigits = 6;     // of a microsecond time
constexpr std::size_t kMaxFractionDigits = 9;  // a nanosecond time; its last three are cut
constexpr std::size_t kMaxDataBytes = 8;

// A partial line is moved to the front of the buffer before the next block is read behind it;
// one that could be as long as a line with its CR must leave room for that block.
static_assert(CandumpReader::kMaxLineLength + 2 < kBlockSize / 2);

int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    const char lower = static_cast<char>(c | 0x20);
    if (lower >= 'a' && lower <= 'f') return lower - 'a' + 10;
    return -1;
}

// One line, taken from left to right; a take that does not fit takes nothing.
class Cursor {
public:
    explicit Cursor(std::string_view text) : text_(text) {}

    bool atEnd() const { return at_ == text_.size(); }

    bool take(char c)
    {
        if (atEnd() || text_[at_] != c) return false;
        ++at_;
        return true;
    }

    // The value of the digit at the cursor; -1 when there is none.
    int takeDecimal()
    {
        if (atEnd() || text_[at_] < '0' || text_[at_] > '9') return -1;
        return text_[at_++] - '0';
    }

    int takeHex()
    {
        const int value = atEnd() ? -1 : hexValue(text_[at_]);
        if (value >= 0) ++at_;
        return value;
    }

    // The characters up to the next blank or the end of the line.
    std::string_view takeWord()
    {
        const std::size_t start = at_;
        while (!atEnd() && text_[at_] != ' ' && text_[at_] != '\t') ++at_;
        return text_.substr(start, at_ - start);
    }

private:
    std::string_view text_;
    std::size_t at_ = 0;
};

// "(<seconds>.<fraction>)" in microseconds, the fraction's digits beyond the sixth cut; false for a
// time outside the 64 bits.
bool takeTime(Cursor& in, std::int64_t& time)
{
    if (!in.take('(')) return false;
    const bool negative = in.take('-');
    // The earliest time is one microsecond further from zero than the latest.
    const std::uint64_t limit = std::uint64_t{std::numeric_limits<std::int64_t>::max()} + (negative ? 1 : 0);
    std::uint64_t seconds = 0;
    std::size_t digits = 0;
    for (int digit; (digit = in.takeDecimal()) >= 0; ++digits) {
        if (seconds > (limit / kMicroseconds - static_cast<unsigned>(digit)) / 10) return false;
        seconds = seconds * 10 + static_cast<unsigned>(digit);
    }
    if (digits == 0 || !in.take('.')) return false;

    std::uint64_t fraction = 0;
    digits = 0;
    for (int digit; (digit = in.takeDecimal()) >= 0; ++digits) {
        if (digits == kMaxFractionDigits) return false;
        if (digits < kFractionDigits) fraction = fraction * 10 + static_cast<unsigned>(digit);
    }
    if (digits == 0 || !in.take(')')) return false;
    for (; digits < kFractionDigits; ++digits) fraction *= 10;

    const std::uint64_t whole = seconds * kMicroseconds;
    if (fraction > limit - whole) return false;
    const std::uint64_t magnitude = whole + fraction;
    time = static_cast<std::int64_t>(negative ? 0 - magnitude : magnitude);
    return true;
}

// "123#" or "18FEF100#": three hex digits for 11 bits, eight for 29 bits or an error frame.
bool takeIdentifier(Cursor& in, CanFrame& frame, bool& errorFrame)
{
    std::uint32_t value = 0;
    int digits = 0;
    for (int digit; digits <= 8 && (digit = in.takeHex()) >= 0; ++digits)
        value = value << 4 | static_cast<std::uint32_t>(digit);
    if (digits == 3) {
        if (value > kStandardMask) return false;
    } else if (digits == 8) {
        errorFrame = (value & kErrorFlag) != 0;
        if (!errorFrame && value > kExtendedMask) return false;
        frame.extended = true;
    } else {
        return false;
    }
    frame.id = value & kExtendedMask;
    return in.take('#');
}

// "_9" to "_F": the raw length code that a frame of 8 bytes may carry; it changes nothing of the data.
bool takeRawLengthCode(Cursor& in, int length)
{
    return !in.take('_') || (length == static_cast<int>(kMaxDataBytes) && in.takeHex() >= 9);
}

bool takeData(Cursor& in, CanFrame& frame)
{
    for (int high; (high = in.takeHex()) >= 0;) {
        const int low = in.takeHex();
        if (low < 0 || frame.length == kMaxDataBytes) return false;
        frame.data[frame.length++] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return takeRawLengthCode(in, frame.length);
}

// After "R" of a remote request: the length asked for, 0 to 8, which may be left out.
bool takeRemoteLength(Cursor& in)
{
    const int length = in.takeDecimal();
    return length <= static_cast<int>(kMaxDataBytes) && takeRawLengthCode(in, length);
}

// The end of the line, after a blank and the direction mark "R" (received) or "T" (sent) when
// the log has them.
bool takeEnd(Cursor& in)
{
    if (in.take(' ') && !in.take('R') && !in.take('T')) return false;
    return in.atEnd();
}

Error readFailure(const std::filesystem::path& path, const std::string& reason)
{
    return Error("Unable to read " + DisplayPath(path) + ": " + reason);
}

std::string_view withoutCarriageReturn(std::string_view line)
{
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

}  // namespace

CandumpLine ParseCandumpLine(std::string_view line)
{
    const std::size_t last = line.find_last_not_of(" \t\r");
    const std::size_t first = line.find_first_not_of(" \t");
    if (last == std::string_view::npos || line[first] == '#' || line[first] == ';') return {CandumpLineKind::Blank, {}};

    Cursor in(line.substr(first, last + 1 - first));
    CandumpLine result{CandumpLineKind::Frame, {}};
    bool errorFrame = false;
    if (!takeTime(in, result.frame.time) || !in.take(' ') || in.takeWord().empty() || !in.take(' ') ||
        !takeIdentifier(in, result.frame, errorFrame))
        return {};
    // The kind of a frame that is passed over anyway is told by its marks; its body is not checked.
    if (in.take('#')) return {CandumpLineKind::Fd, {}};
    const bool remote = in.take('R') || in.take('r');
    if (!(remote ? takeRemoteLength(in) : takeData(in, result.frame)) || !takeEnd(in)) return {};
    if (errorFrame) return {CandumpLineKind::Error, {}};
    if (remote) return {CandumpLineKind::Remote, {}};
    return result;
}

std::string CandumpTimeText(std::int64_t time)
{
    const bool negative = time < 0;
    // Unsigned, so that the earliest time has a magnitude too.
    const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(time) : static_cast<std::uint64_t>(time);
    std::string text = negative ? "-" : "";
    char seconds[24];
    text.append(seconds, std::to_chars(std::begin(seconds), std::end(seconds), magnitude / kMicroseconds).ptr);
    char fraction[] = ".000000";
    for (std::uint64_t rest = magnitude % kMicroseconds, at = kFractionDigits; at > 0; --at, rest /= 10)
        fraction[at] = static_cast<char>('0' + rest % 10);
    return text + fraction;
}

std::string CandumpLineText(const CanFrame& frame, std::string_view interfaceName)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(48 + interfaceName.size());
    text += '(';
    text += CandumpTimeText(frame.time);
    text += ") ";
    text += interfaceName;
    text += ' ';
    // A value beyond its field is cut to it, so that every frame gives a line that reads back.
    const std::uint32_t id = frame.id & (frame.extended ? kExtendedMask : kStandardMask);
    for (int shift = frame.extended ? 28 : 8; shift >= 0; shift -= 4) text += kHex[id >> shift & 0x0F];
    text += '#';
    for (std::size_t i = 0; i < std::min<std::size_t>(frame.length, kMaxDataBytes); ++i) {
        text += kHex[frame.data[i] >> 4];
        text += kHex[frame.data[i] & 0x0F];
    }
    return text;
}

CandumpReader::CandumpReader(const std::filesystem::path& path) : path_(path), buffer_(new char[kBlockSize])
{
    const std::filesystem::path found = ResolveFileName(path);
    if (const std::string problem = RegularFileProblem(found); !problem.empty()) throw readFailure(path_, problem);
    errno = 0;
    file_ = OpenFile(found, "rb");
    if (!file_) throw readFailure(path_, SystemReason(errno ? errno : EIO));
}

CandumpReader::~CandumpReader()
{
    if (file_) std::fclose(file_);
}

std::optional<CanFrame> CandumpReader::next()
{
    std::size_t unbounded = std::numeric_limits<std::size_t>::max();
    return nextWithin(unbounded);
}

std::optional<CanFrame> CandumpReader::nextWithin(std::size_t& budget)
{
    std::string_view text;
    for (LineRead got; (got = readLine(text, budget)) == LineRead::Line;) {
        ++lineNumber_;
        const CandumpLine line = text.size() > kMaxLineLength ? CandumpLine{} : ParseCandumpLine(text);
        switch (line.kind) {
        case CandumpLineKind::Frame:
            return line.frame;
        case CandumpLineKind::Blank:
            break;
        case CandumpLineKind::Remote:
            ++skipped_.remote;
            break;
        case CandumpLineKind::Fd:
            ++skipped_.fd;
            break;
        case CandumpLineKind::Error:
            ++skipped_.error;
            break;
        case CandumpLineKind::Malformed:
            if (skipped_.malformed++ == 0) skipped_.firstMalformedLine = lineNumber_;
            break;
        }
    }
    return std::nullopt;
}

bool CandumpReader::mayRead(std::size_t& budget)
{
    if (budget == 0) return false;
    budget -= std::min(budget, kBlockSize);
    return true;
}

CandumpReader::LineRead CandumpReader::readLine(std::string_view& line, std::size_t& budget)
{
    for (;;) {
        const char* begin = buffer_.get() + start_;
        if (skipping_) {
            // The rest of a line too long to hold is read and dropped up to its end.
            const void* found = std::memchr(begin, '\n', end_ - start_);
            if (found || atEnd_) {
                start_ = found ? static_cast<std::size_t>(static_cast<const char*>(found) - buffer_.get()) + 1 : end_;
                skipping_ = false;
                line = longLine_;
                return LineRead::Line;
            }
            if (!mayRead(budget)) return LineRead::Later;
            start_ = 0;
            end_ = read(buffer_.get(), kBlockSize);
            continue;
        }
        if (const void* found = std::memchr(begin, '\n', end_ - start_)) {
            const auto length = static_cast<std::size_t>(static_cast<const char*>(found) - begin);
            line = withoutCarriageReturn({begin, length});
            start_ += length + 1;
            return LineRead::Line;
        }
        if (atEnd_) {
            if (start_ == end_) {
                ended_ = true;
                return LineRead::End;
            }
            line = withoutCarriageReturn({begin, end_ - start_});
            start_ = end_;
            return LineRead::Line;
        }
        // Longer than a line may be even without its CR: malformed, whatever follows. Enough of it
        // is kept to tell it too long.
        if (end_ - start_ > kMaxLineLength + 1) {
            longLine_.assign(begin, kMaxLineLength + 1);
            start_ = end_;
            skipping_ = true;
            continue;
        }
        if (!mayRead(budget)) return LineRead::Later;
        const std::size_t kept = end_ - start_;
        std::memmove(buffer_.get(), begin, kept);
        start_ = 0;
        end_ = kept + read(buffer_.get() + kept, kBlockSize - kept);
    }
}

std::size_t CandumpReader::read(char* into, std::size_t size)
{
    errno = 0;
    const std::size_t got = std::fread(into, 1, size, file_);
    if (got < size) {
        if (std::ferror(file_)) throw readFailure(path_, SystemReason(errno ? errno : EIO));
        atEnd_ = true;
    }
    readBytes_ += got;
#ifdef POSIX_FADV_DONTNEED
    // A log is read once: what was read leaves the page cache, so that gigabytes of it do not make
    // the system reclaim memory (and stall serve's answers) while it is read.
    constexpr std::uint64_t kDropEvery = 8 * 1024 * 1024;
    if (readBytes_ - droppedTo_ >= kDropEvery) {
        posix_fadvise(fileno(file_), 0, static_cast<off_t>(readBytes_), POSIX_FADV_DONTNEED);
        droppedTo_ = readBytes_;
    }
#endif
    return got;
}

CandumpWriter::CandumpWriter(const std::filesystem::path& path, std::string interfaceName)
    : path_(path), file_(std::make_unique<AtomicOutputFile>(path)), interface_(std::move(interfaceName))
{
}

// The temporary file of a writer that was never closed goes with it.
CandumpWriter::~CandumpWriter() = default;

void CandumpWriter::send(const CanFrame& frame)
{
    if (!file_) throw Error("Unable to write to " + DisplayPath(path_) + ": the log is closed");
    std::string line = CandumpLineText(frame, interface_);
    line += '\n';
    file_->append(line);
    // A full disk stops the recording at once rather than at close().
    if (file_->failed()) throw Error(file_->failureMessage());
}

void CandumpWriter::close()
{
    if (!file_) return;
    const std::unique_ptr<AtomicOutputFile> file = std::move(file_);
    if (!file->commit()) throw Error(file->failureMessage());
}

#ifndef _WIN32
CandumpRecorder::CandumpRecorder(const std::filesystem::path& path, std::string interfaceName)
    : path_(path), interface_(std::move(interfaceName))
{
    const auto refuse = [&](const std::string& reason) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        throw Error("Unable to write to " + DisplayPath(path_) + ": " + reason);
    };
    // A write beyond the process's file size limit must fail like a full disk, not end the program.
    std::signal(SIGXFSZ, SIG_IGN);
    // Not emptied before the lock is held: the log of a live run stays as it is. A FIFO without a
    // reader is refused rather than waited for.
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd_ < 0) refuse(SystemReason(errno));
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0)
        refuse(errno == EWOULDBLOCK ? std::string("another program is writing it") : SystemReason(errno));
    struct stat status {};
    const int flags = fcntl(fd_, F_GETFL);
    if (::fstat(fd_, &status) != 0 || flags == -1 || fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK) == -1)
        refuse(SystemReason(errno));
    if (S_ISDIR(status.st_mode)) refuse("a folder, not a regular file");
    regular_ = S_ISREG(status.st_mode);
    if (regular_ && ::ftruncate(fd_, 0) != 0) refuse(SystemReason(errno));
}

CandumpRecorder::~CandumpRecorder()
{
    if (fd_ >= 0) ::close(fd_);
}

void CandumpRecorder::send(const CanFrame& frame)
{
    if (fd_ < 0 || !failure_.empty()) return;
    std::string line = CandumpLineText(frame, interface_);
    line += '\n';
    for (std::size_t done = 0; done < line.size();) {
        const ssize_t wrote = ::write(fd_, line.data() + done, line.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) return fail(wrote < 0 ? errno : ENOSPC);
        done += static_cast<std::size_t>(wrote);
    }
    whole_ += line.size();
    ++recorded_;
}

bool CandumpRecorder::close()
{
    if (fd_ < 0) return failure_.empty();
    // A device or a pipe has nothing to flush to a disk.
    if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS && failure_.empty()) fail(errno);
    if (::close(fd_) != 0 && errno != EINTR && failure_.empty())
        failure_ = "Unable to write to " + DisplayPath(path_) + ": " + SystemReason(errno);
    fd_ = -1;
    return failure_.empty();
}

void CandumpRecorder::fail(int error)
{
    failure_ = "Unable to write to " + DisplayPath(path_) + ": " + SystemReason(error);
    // The part of a line that fitted goes, so that the log ends on a whole line.
    if (regular_ && ::ftruncate(fd_, static_cast<off_t>(whole_)) == 0)
        ::lseek(fd_, static_cast<off_t>(whole_), SEEK_SET);
}
#endif

}  // namespace trelvant
