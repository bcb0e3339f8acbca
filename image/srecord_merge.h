#pragma once

// The firmware merge: writes configuration banks into a copy of the device firmware, a file of
// Motorola S-records, in place of the records of each bank's address window.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace trelvant {

// Where the merge tells what happens. Every message is meant for a plain message box.
class MergeReport {
public:
    virtual ~MergeReport() = default;
    virtual void message(const std::string& text) = 0;
    // The running pass has read position of maximum units; it starts at 0 and ends at maximum.
    virtual void progress(std::uint64_t position, std::uint64_t maximum) = 0;
};

inline constexpr int kMergeStageCount = 5;            // stage n merges bank n
inline constexpr std::uint32_t kBankWindowSize = 0x4000;
inline constexpr std::size_t kBankRecordCount = 512;  // S2 records of 32 bytes per bank

// First address of bank n's window: page 0x38 + n - 1, offset 0x8000 (0x388000 for bank 1).
std::uint32_t BankWindowStart(int bank);

// "New_" followed by the base firmware's file name.
std::filesystem::path MergedFirmwareName(const std::filesystem::path& baseFirmware);

struct MergeJob {
    std::filesystem::path baseFirmware;  // only read; a relative path starts at the current folder
    std::filesystem::path binFolder;     // holds bank1.bin to bank5.bin
    std::filesystem::path outputFolder;  // the project folder: the merged firmware goes here
    std::filesystem::path mergedFirmwareName;  // a file name in outputFolder
    // Whether stage n merges bank n. Stage 1 merges whatever its flag says: unselected, it
    // would hand on the base firmware itself.
    std::array<bool, kMergeStageCount> banks{true, true, false, false, false};
};

// The job of a project: bin folder PROJECT/bin, output folder PROJECT, merged firmware
// "New_" + the base firmware's name, banks 1 and 2.
MergeJob ProjectMergeJob(const std::filesystem::path& projectFolder, const std::filesystem::path& baseFirmware);

enum class MergeResult : int {
    Stopped = -1,     // stopped before merging, failed before an S9 line, or the input has no S9 line
    NotInserted = 0,  // no record of the input lies in the bank's window: the bank is missing
    Inserted = 1,     // the bank's records took the place of the window's first record
};

struct MergeOutcome {
    std::array<std::optional<MergeResult>, kMergeStageCount> results;  // [n - 1]: stage n's, if it merged
    bool written = false;                 // this run wrote the merged firmware
    bool buildIncomplete = false;         // refused: the bin folder holds an unfinished build
    std::filesystem::path mergedFirmware;  // its absolute path, whether written or not
    // Written with every selected bank inserted: only then may the flash tool start.
    bool complete() const;
};

// The two upper-case hexadecimal digits of a record's checksum: the ones' complement of the low
// byte of the sum of the digit pairs from the third character up to the last two (a placeholder
// when the record is built).
std::string SRecordChecksum(std::string_view record);

// The text of "Bin.sx" for a bank: 512 S2 records of 32 bytes, "S224", the address from the
// window's start, upper-case hexadecimal, CR LF. Bytes past the end of a short bank read 0xFF,
// the erased flash; bytes past 16384 are not used.
std::string BankRecords(int bank, std::span<const std::uint8_t> bytes);

// One stage: merges bank number stage into input and writes outputName in the output folder,
// under a temporary name renamed when complete. Refuses a bin folder that holds the marker of a
// build that did not complete (kUnfinishedBuildMarker), its bank files perhaps of two builds, with
// "<bin folder>: the last build did not complete: build again". Then checks the input, the merged
// firmware name, the bin folder and the bank file, in this order. On the first refusal or failed
// check it reports its message and writes nothing. The input and the bank file must be regular files (after symbolic links): a
// missing one gets the bare message, anything else "<path>: <message>: <reason>", and neither a
// FIFO nor a device is ever opened. An output that is the base firmware is refused. The bank's
// records are held in memory: an old "Bin.sx" in the bin folder is removed, as a stage that wrote
// its own would have left none, unless it is the base firmware. A stopped stage writes no output.
// A failure while merging reports "<input>, line <n>: File New Sx Not Create,Abort Procedure:
// <reason>". Throws Error when the output cannot be created.
MergeResult MergeBank(const MergeJob& job, int stage, const std::filesystem::path& input,
                      const std::filesystem::path& outputName, MergeReport& report);

// The five stages in order, from the base firmware to the merged firmware, then the removal of
// B1.sx to B5.sx. Files, messages and results are those of the chain of stages, each stage
// reading the file the one before wrote; the merged firmware is written in one pass over the base
// firmware, with no intermediate file. The base firmware is never removed or written, whatever
// its name and folder. A bin folder that holds the marker of an unfinished build is refused as
// stage 1 refuses it, with buildIncomplete set. Throws Error as MergeBank does; nothing is then
// written.
MergeOutcome ExeModFileSxClick(const MergeJob& job, MergeReport& report);

}  // namespace trelvant
