#pragma once

// The streaming pass of the firmware merge: the lines of one input go through one or more
// merging stages, each handing what it keeps to the next, and what the last keeps is written.
// Only a block of the input is held in memory, never a whole file or a whole line.

#include "image/srecord_merge.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace trelvant {

class AtomicOutputFile;

// One merging stage: what it does with each line it reads, and its result so far.
class BankStage {
public:
    enum class Verdict {
        Copy,    // the line goes on unchanged
        Insert,  // the bank's records go on in place of the line
        Drop,    // the line is a record of the window and the bank is already in place
        Fail,    // the line cannot be read as the stage needs: the stage reads no further line
    };

    // Where and why the stage stopped without finishing.
    struct Failure {
        std::uint64_t line;  // the input line, from 1; 0 when no line is concerned
        std::string reason;  // "empty line", or the system's reason of a read or write error
    };

    BankStage(int bank, std::string records);

    // head: the line's first min(length, 10) characters, without its line end; line: its number.
    Verdict take(std::string_view head, std::size_t length, std::uint64_t line);

    int bank() const { return bank_; }
    const std::string& records() const { return records_; }  // the 512 lines of Bin.sx
    bool failed() const { return failure_.has_value(); }
    const std::optional<Failure>& failure() const { return failure_; }
    MergeResult result() const { return result_; }
    // A read or write error: the stage stops without a result. The first failure is kept.
    void failOnInputOutput(std::uint64_t line, std::string reason);

private:
    Verdict fail(std::uint64_t line, std::string reason);

    int bank_;
    std::string records_;
    std::uint32_t windowStart_;
    bool pending_ = true;
    std::optional<Failure> failure_;
    MergeResult result_ = MergeResult::Stopped;
};

// The record that counts dataRecords S1, S2 and S3 records: S5 with a 16-bit count, S6 with a
// 24-bit count when it does not fit, CR LF not included; nothing when S6 cannot hold it either.
std::optional<std::string> CountRecord(std::uint64_t dataRecords);

inline constexpr std::size_t kMergeBlockSize = 1 << 20;

// Reads input (size bytes, for the progress) through the stages and appends what passes the last
// one to output, each line followed by CR LF; output may be null (nothing is written). A count
// record that passes is written as the count of the data records written before it: a
// well-formed S5 or S6 record only (its digits hexadecimal pairs, its byte count 03 or 04 and its
// checksum right); every other line, one that merely begins with "S5" included, is copied as read.
// Progress goes in bytes of the input. False on a read or write error, after which the pass
// stopped and the first stage failed with the error; the stages tell their own failures and results.
bool RunMergePass(std::FILE* input, std::uint64_t size, std::span<BankStage> stages, AtomicOutputFile* output,
                  MergeReport& report, std::size_t blockSize = kMergeBlockSize);

}  // namespace trelvant
