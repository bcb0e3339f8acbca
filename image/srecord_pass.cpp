#include "image/srecord_pass.h"

#include "documents/integer_conversion.h"
#include "platform/atomic_output_file.h"
#include "platform/file_names.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace trelvant {
namespace {

// Six hexadecimal digits, either case, as the integer conversion reads "$" followed by them.
bool parseAddress(std::string_view digits, std::uint32_t& address)
{
    address = 0;
    for (char c : digits) {
        const int value = HexDigitValue(c);
        if (value < 0) return false;
        address = address << 4 | static_cast<std::uint32_t>(value);
    }
    return true;
}

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::size_t kHeadLength = 10;  // "S2", the count, the six address digits
constexpr char kHex[] = "0123456789ABCDEF";

// S1, S2 and S3 records are what an S5 or S6 record counts.
bool isDataRecord(std::string_view line)
{
    return line.size() >= 2 && line[0] == 'S' && (line[1] == '1' || line[1] == '2' || line[1] == '3');
}

// The longest count record, an S6: "S604", six digits of the count and two of the checksum.
constexpr std::size_t kLongestCountRecord = 12;

// A count record is written anew only when it is one: "S5" with the byte count 03 and a 16-bit
// count, or "S6" with 04 and a 24-bit count, all in hexadecimal digit pairs (either case, as the
// addresses are read), its checksum right. Any other line, even one that begins with "S5", is
// copied as it was read.
bool isCountRecord(std::string_view line)
{
    if (line.size() < 4 || line[0] != 'S' || (line[1] != '5' && line[1] != '6')) return false;
    const std::size_t countBytes = line[1] == '5' ? 2 : 3;
    if (line.size() != 2 + 2 * (1 + countBytes + 1)) return false;  // byte count, count, checksum
    unsigned sum = 0;
    unsigned byte = 0;
    for (std::size_t i = 2; i < line.size(); i += 2) {
        const int high = HexDigitValue(line[i]);
        const int low = HexDigitValue(line[i + 1]);
        if (high < 0 || low < 0) return false;
        byte = static_cast<unsigned>(high * 16 + low);
        if (i == 2 && byte != countBytes + 1) return false;
        if (i + 2 < line.size()) sum += byte;
    }
    return byte == (~sum & 0xFFu);
}

// A line that passes the last stage is written from the block where it lies: runs of lines that
// already end in CR LF go out as one piece.
class Pass {
public:
    Pass(std::FILE* input, std::uint64_t size, std::span<BankStage> stages, AtomicOutputFile* output,
         MergeReport& report, std::size_t blockSize)
        : input_(input), size_(size), stages_(stages), output_(output), report_(report),
          block_(std::max<std::size_t>(blockSize, 2 * kHeadLength)), active_(stages.size())
    {
    }

    bool run()
    {
        report_.progress(0, size_);
        while (active_ > 0 && !ioFailed_) {
            if (begin_ == end_) {
                if (eof_) break;
                refill();
                continue;
            }
            const char* start = block_.data() + begin_;
            if (const void* lf = std::memchr(start, '\n', end_ - begin_)) {
                const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(lf) - block_.data());
                line(begin_, at, true);
                begin_ = at + 1;
            } else if (!eof_ && (begin_ > 0 || end_ < block_.size())) {
                refill();
                continue;
            } else if (!eof_) {
                longLine();
            } else {
                line(begin_, end_, false);  // the last line, without a line end
                begin_ = end_;
            }
            checkOutput();
            ++linesDone_;
        }
        if (!ioFailed_) {
            flushRun();
            // What fails now was written for the last line read.
            if (output_ && output_->failed()) stopAt(linesDone_, output_->failureMessage());
        }
        const std::uint64_t maximum = std::max(size_, read_);
        report_.progress(maximum, maximum);
        return !ioFailed_;
    }

private:
    // Keeps the unread rest of the block at its start and reads more after it.
    void refill()
    {
        flushRun();
        std::memmove(block_.data(), block_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
        runStart_ = runEnd_ = 0;
        const std::size_t wanted = block_.size() - end_;
        checkOutput();
        if (ioFailed_) return;
        errno = 0;
        const std::size_t got = std::fread(block_.data() + end_, 1, wanted, input_);
        end_ += got;
        read_ += got;
        if (got < wanted) {
            if (std::ferror(input_)) stop(SystemReason(errno ? errno : EIO));
            else eof_ = true;
        }
        report_.progress(std::min(read_, size_), std::max(size_, read_));
    }

    // The first stage, which reads the input and writes first, fails with the error.
    void stopAt(std::uint64_t line, std::string reason)
    {
        if (!ioFailed_ && !stages_.empty()) stages_.front().failOnInputOutput(line, std::move(reason));
        ioFailed_ = true;
    }

    // The line being read takes the error.
    void stop(std::string reason) { stopAt(linesDone_ + 1, std::move(reason)); }

    void checkOutput()
    {
        if (output_ && output_->failed() && !ioFailed_) stop(output_->failureMessage());
    }

    // A count record tells how many data records went before it in the file written.
    void writeCount()
    {
        const std::optional<std::string> record = CountRecord(dataRecords_);
        if (!record) {
            stop(std::to_string(dataRecords_) + " data records, more than an S6 record counts");
            return;
        }
        write(*record);
        write(kLineEnd);
    }

    // Sends a line through the stages from stage `from` on; true when it passes the last one.
    bool route(std::string_view head, std::size_t length, std::size_t from)
    {
        for (std::size_t i = from; i < active_; ++i) {
            switch (stages_[i].take(head, length, linesDone_ + 1)) {
            case BankStage::Verdict::Copy:
                break;
            case BankStage::Verdict::Insert:
                insertRecords(i);
                return false;
            case BankStage::Verdict::Drop:
                return false;
            case BankStage::Verdict::Fail:
                active_ = i;  // the stages after it get nothing more
                return false;
            }
        }
        return active_ == stages_.size();
    }

    void insertRecords(std::size_t stage)
    {
        const std::string& records = stages_[stage].records();
        for (std::size_t at = 0; at < records.size();) {
            std::size_t end = records.find(kLineEnd, at);
            if (end == std::string::npos) end = records.size();
            const std::string_view record(records.data() + at, end - at);
            if (route(record.substr(0, kHeadLength), record.size(), stage + 1) && output_) {
                if (isDataRecord(record)) ++dataRecords_;
                write(record);
                write(kLineEnd);
            }
            at = end + kLineEnd.size();
        }
    }

    // The line from start to lineEnd (its LF, or the end of the data when it has none).
    void line(std::size_t start, std::size_t lineEnd, bool hasLf)
    {
        const bool cr = lineEnd > start && block_[lineEnd - 1] == '\r';
        const std::size_t length = lineEnd - start - (cr ? 1 : 0);
        const std::string_view content(block_.data() + start, length);
        if (!route(content.substr(0, kHeadLength), length, 0) || !output_) return;
        if (isCountRecord(content)) {
            writeCount();
            return;
        }
        if (isDataRecord(content)) ++dataRecords_;
        if (hasLf && cr) {
            if (runEnd_ != start) {
                flushRun();
                runStart_ = start;
            }
            runEnd_ = lineEnd + 1;
        } else {
            write(content);
            write(kLineEnd);
        }
    }

    // A line longer than the block: decided on its head, then copied or skipped piece by piece.
    // It is never a count record, which always fits a block.
    void longLine()
    {
        static_assert(kLongestCountRecord + kLineEnd.size() <= 2 * kHeadLength, "a count record fits the smallest block");
        const std::string_view head(block_.data(), kHeadLength);
        const bool keep = route(head, end_, 0) && output_;
        if (keep && isDataRecord(head)) ++dataRecords_;
        bool heldCr = false;  // a CR at the end of a piece may be the line's end
        for (;;) {
            const char* start = block_.data() + begin_;
            const void* lf = std::memchr(start, '\n', end_ - begin_);
            std::size_t length = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - start) : end_ - begin_;
            if (keep) {
                if (heldCr && (length > 0 || !lf)) write("\r");
                heldCr = false;
                if (length > 0 && start[length - 1] == '\r') {
                    heldCr = !lf;
                    write(std::string_view(start, length - 1));
                } else {
                    write(std::string_view(start, length));
                }
            }
            if (lf) {
                begin_ += length + 1;
                break;
            }
            begin_ = end_;
            refill();
            if (ioFailed_ || (eof_ && begin_ == end_)) break;  // the line ends with the file
        }
        if (keep) write(kLineEnd);
    }

    void write(std::string_view bytes)
    {
        flushRun();
        output_->append(bytes);
    }

    void flushRun()
    {
        if (runEnd_ > runStart_) output_->append(std::string_view(block_.data() + runStart_, runEnd_ - runStart_));
        runStart_ = runEnd_;
    }

    std::FILE* input_;
    std::uint64_t size_;
    std::span<BankStage> stages_;
    AtomicOutputFile* output_;
    MergeReport& report_;
    std::vector<char> block_;
    std::size_t begin_ = 0;  // the unread data of the block
    std::size_t end_ = 0;
    std::size_t runStart_ = 0;  // lines already passed, still to be written
    std::size_t runEnd_ = 0;
    std::size_t active_;  // the stages before this one still read lines
    std::uint64_t read_ = 0;
    std::uint64_t linesDone_ = 0;    // input lines read through
    std::uint64_t dataRecords_ = 0;  // S1, S2 and S3 records written
    bool eof_ = false;
    bool ioFailed_ = false;
};

}  // namespace

BankStage::BankStage(int bank, std::string records)
    : bank_(bank), records_(std::move(records)), windowStart_(BankWindowStart(bank))
{
}

BankStage::Verdict BankStage::fail(std::uint64_t line, std::string reason)
{
    if (!failure_) failure_ = Failure{line, std::move(reason)};
    return Verdict::Fail;
}

void BankStage::failOnInputOutput(std::uint64_t line, std::string reason)
{
    fail(line, std::move(reason));
    result_ = MergeResult::Stopped;
}

BankStage::Verdict BankStage::take(std::string_view head, std::size_t length, std::uint64_t line)
{
    if (length == 0) return fail(line, "empty line");
    if (head.size() < 2 || head[0] != 'S') return Verdict::Copy;
    if (head[1] == '2') {
        std::uint32_t address = 0;
        if (length < kHeadLength) return fail(line, "S2 record shorter than ten characters");
        if (!parseAddress(head.substr(4, 6), address)) return fail(line, "address is not hexadecimal");
        // Only a record's start address counts: one that starts below the window is copied.
        if (address < windowStart_ || address > windowStart_ + (kBankWindowSize - 1)) return Verdict::Copy;
        if (!pending_) return Verdict::Drop;
        pending_ = false;
        return Verdict::Insert;
    }
    if (head[1] == '9') result_ = pending_ ? MergeResult::NotInserted : MergeResult::Inserted;
    return Verdict::Copy;
}

std::optional<std::string> CountRecord(std::uint64_t dataRecords)
{
    if (dataRecords > 0xFFFFFF) return std::nullopt;
    const int digits = dataRecords > 0xFFFF ? 6 : 4;
    std::string record = digits == 4 ? "S503" : "S604";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) record += kHex[(dataRecords >> shift) & 0x0F];
    record += "00";
    record.replace(record.size() - 2, 2, SRecordChecksum(record));
    return record;
}

bool RunMergePass(std::FILE* input, std::uint64_t size, std::span<BankStage> stages, AtomicOutputFile* output,
                  MergeReport& report, std::size_t blockSize)
{
    return Pass(input, size, stages, output, report, blockSize).run();
}

}  // namespace trelvant
