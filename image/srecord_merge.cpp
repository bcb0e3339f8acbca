#include "image/srecord_merge.h"

#include "documents/integer_conversion.h"
#include "image/bank_files.h"
#include "image/srecord_pass.h"
#include "platform/atomic_file.h"
#include "platform/atomic_output_file.h"
#include "platform/error.h"
#include "platform/file_names.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace trelvant {
namespace {

constexpr std::size_t kBankSize = kBankRecordCount * 32;

const std::string kInputMissing = "File *.Sx Not Found,Abort Procedure";
const std::string kNameMissing = "File New *.Sx Not Found,Abort Procedure";
const std::string kBinMissing = "Directory Bin Not Found,Abort Procedure";
const std::string kNotCreated = "File New Sx Not Create,Abort Procedure";
const std::string kNoS9 = "Record S9 Not Found,Abort Procedure";
const std::string kBuildIncomplete = "the last build did not complete: build again";

std::string bankFileMissing(int bank)
{
    return "File bank" + std::to_string(bank) + ".bin Not Found,Abort Procedure";
}

std::string bankNotInserted(int bank)
{
    return "Bank " + std::to_string(bank) + " Not Inserted,Abort Procedure";
}


void checkStage(int stage)
{
    if (stage < 1 || stage > kMergeStageCount) throw std::out_of_range("merge stage " + std::to_string(stage));
}

// A folder given with a trailing separator names the same folder.
std::filesystem::path folderPath(const std::filesystem::path& folder)
{
    return !folder.has_filename() && folder.has_parent_path() ? folder.parent_path() : folder;
}

// A message with the document it concerns, the line when one is known, and the reason:
// "<path>, line <n>: <text>: <reason>" or "<path>: <text>: <reason>".
std::string placed(const std::filesystem::path& document, std::uint64_t line, const std::string& text,
                   const std::string& reason)
{
    std::error_code ec;
    std::filesystem::path shown = std::filesystem::absolute(document, ec);
    if (ec) shown = document;
    std::string message = DisplayPath(shown);
    if (line > 0) message += ", line " + std::to_string(line);
    return message + ": " + text + ": " + reason;
}

// The check of a file the merge reads: missing, the text alone; there but not a regular file,
// the text with the path and why.
std::optional<std::string> failedFileCheck(const std::filesystem::path& requested, const std::string& missing)
{
    const std::filesystem::path path = ResolveFileName(requested);
    if (!ExistsAnyCase(path)) return missing;
    if (const std::string reason = RegularFileProblem(path); !reason.empty()) return placed(path, 0, missing, reason);
    return std::nullopt;
}

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b)
{
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec);
}

std::filesystem::path binFolder(const MergeJob& job)
{
    return ResolveFileName(folderPath(job.binFolder));
}

std::filesystem::path bankFile(const MergeJob& job, int bank)
{
    return ResolveFileName(binFolder(job) / ("bank" + std::to_string(bank) + ".bin"));
}

// A bin folder that holds the marker of an unfinished build may hold bank files of two builds:
// none of them is read. "<bin folder>: the last build did not complete: build again".
std::optional<std::string> unfinishedBuild(const MergeJob& job)
{
    const std::filesystem::path bin = binFolder(job);
    if (!BuildIncomplete(bin)) return std::nullopt;
    std::error_code ec;
    std::filesystem::path shown = std::filesystem::absolute(bin, ec);
    if (ec) shown = bin;
    return DisplayPath(shown) + ": " + kBuildIncomplete;
}

// The checks of a stage in their order: the message of the first that fails.
std::optional<std::string> failedCheck(const MergeJob& job, int stage, const std::filesystem::path& input)
{
    std::error_code ec;
    if (auto failed = failedFileCheck(input, kInputMissing)) return failed;
    if (job.mergedFirmwareName.empty()) return kNameMissing;
    if (!std::filesystem::is_directory(binFolder(job), ec)) return kBinMissing;
    return failedFileCheck(bankFile(job, stage), bankFileMissing(stage));
}

// The base firmware is only read: an output that is the base firmware, under any name or through
// a link, is refused before anything is written.
std::optional<std::string> replacesBaseFirmware(const MergeJob& job, const std::filesystem::path& output)
{
    const std::filesystem::path target = ResolveFileName(output);
    if (!sameFile(target, ResolveFileName(job.baseFirmware))) return std::nullopt;
    return placed(target, 0, kNotCreated, "it would replace the base firmware");
}

// The stage of a bank, its records made from the bank file; the message when the file cannot be read.
std::optional<std::string> makeStage(const MergeJob& job, int bank, std::vector<BankStage>& stages)
{
    const std::filesystem::path path = bankFile(job, bank);
    std::vector<std::uint8_t> bytes(kBankSize);
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (in) in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!in && !in.eof()) return placed(path, 0, bankFileMissing(bank), SystemReason(errno ? errno : EIO));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    stages.emplace_back(bank, BankRecords(bank, bytes));
    return std::nullopt;
}

// "Bin.sx" held a stage's records while it ran; an old one goes as a stage would remove its own,
// unless it is the base firmware.
void removeBankRecordFile(const MergeJob& job)
{
    const std::filesystem::path file = ResolveFileName(binFolder(job) / "Bin.sx");
    if (sameFile(file, ResolveFileName(job.baseFirmware))) return;
    std::error_code ec;
    std::filesystem::remove(file, ec);
}

struct InputFile {
    explicit InputFile(const std::filesystem::path& requested) : path(ResolveFileName(requested))
    {
        errno = 0;
        file = OpenFile(path, "rb");
        if (!file) {
            failure = placed(path, 0, kInputMissing, SystemReason(errno ? errno : EIO));
            return;
        }
        std::error_code ec;
        size = std::filesystem::file_size(path, ec);
        if (ec) size = 0;
    }
    ~InputFile()
    {
        if (file) std::fclose(file);
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    std::filesystem::path path;
    std::FILE* file = nullptr;
    std::uint64_t size = 0;
    std::optional<std::string> failure;  // why it could not be opened
};

// The messages that end a stage, its failure placed in the document it read; false when the
// chain stops after it.
bool endStage(const BankStage& stage, const std::filesystem::path& document, MergeReport& report)
{
    if (const auto& failure = stage.failure())
        report.message(placed(document, failure->line, kNotCreated, failure->reason));
    else if (stage.result() == MergeResult::Stopped) report.message(kNoS9);
    if (stage.result() == MergeResult::NotInserted) report.message(bankNotInserted(stage.bank()));
    return stage.result() != MergeResult::Stopped;
}

void removeIntermediateFiles(const MergeJob& job)
{
    std::error_code ec;
    const std::filesystem::path base = ResolveFileName(job.baseFirmware);
    for (const char* name : {"B1.sx", "B2.sx", "B3.sx", "B4.sx", "B5.sx"}) {
        const std::filesystem::path file = ResolveFileName(job.outputFolder / name);
        // A base firmware of that name is only read, never removed.
        if (ExistsAnyCase(file) && !sameFile(file, base)) std::filesystem::remove(file, ec);
    }
}

}  // namespace

std::uint32_t BankWindowStart(int bank)
{
    checkStage(bank);
    return 0x388000u + static_cast<std::uint32_t>(bank - 1) * 0x10000u;
}

std::filesystem::path MergedFirmwareName(const std::filesystem::path& baseFirmware)
{
    std::filesystem::path name = "New_";
    name += baseFirmware.filename();
    return name;
}

MergeJob ProjectMergeJob(const std::filesystem::path& projectFolder, const std::filesystem::path& baseFirmware)
{
    MergeJob job;
    job.baseFirmware = baseFirmware;
    job.binFolder = folderPath(projectFolder) / "bin";
    job.outputFolder = folderPath(projectFolder);
    job.mergedFirmwareName = MergedFirmwareName(baseFirmware);
    return job;
}

bool MergeOutcome::complete() const
{
    return written && std::ranges::none_of(results, [](const auto& r) { return r == MergeResult::NotInserted; });
}

std::string SRecordChecksum(std::string_view record)
{
    const auto digit = [&](char c) {
        const int value = HexDigitValue(c);
        if (value < 0) throw std::invalid_argument("not a hexadecimal digit in " + std::string(record));
        return value;
    };
    if (record.size() < 4 || record.size() % 2 != 0) throw std::invalid_argument("not a record: " + std::string(record));
    unsigned sum = 0;
    for (std::size_t i = 2; i + 2 < record.size(); i += 2) sum += static_cast<unsigned>(digit(record[i]) * 16 + digit(record[i + 1]));
    static constexpr char kHex[] = "0123456789ABCDEF";
    const unsigned checksum = ~sum & 0xFFu;
    return {kHex[checksum >> 4], kHex[checksum & 0x0F]};
}

std::string BankRecords(int bank, std::span<const std::uint8_t> bytes)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    const std::uint32_t start = BankWindowStart(bank);
    std::string text;
    text.reserve(kBankRecordCount * 78);
    std::string record;
    for (std::size_t k = 0; k < kBankRecordCount; ++k) {
        const std::uint32_t address = start + static_cast<std::uint32_t>(32 * k);
        record = "S224";
        for (int shift = 20; shift >= 0; shift -= 4) record += kHex[(address >> shift) & 0x0F];
        for (std::size_t i = 32 * k; i < 32 * k + 32; ++i) {
            const std::uint8_t byte = i < bytes.size() ? bytes[i] : 0xFF;
            record += kHex[byte >> 4];
            record += kHex[byte & 0x0F];
        }
        record += "00";
        record.replace(record.size() - 2, 2, SRecordChecksum(record));
        text += record;
        text += "\r\n";
    }
    return text;
}

MergeResult MergeBank(const MergeJob& job, int stage, const std::filesystem::path& input,
                      const std::filesystem::path& outputName, MergeReport& report)
{
    checkStage(stage);
    std::vector<BankStage> stages;
    std::optional<std::string> stop = unfinishedBuild(job);
    if (!stop) stop = failedCheck(job, stage, input);
    if (!stop) stop = replacesBaseFirmware(job, job.outputFolder / outputName);
    if (!stop) stop = makeStage(job, stage, stages);
    if (stop) {
        report.message(*stop);
        return MergeResult::Stopped;
    }
    removeBankRecordFile(job);
    {
        InputFile in(input);
        if (in.failure) {
            report.message(*in.failure);
            return MergeResult::Stopped;
        }
        AtomicOutputFile out(job.outputFolder / outputName, ProjectFile(job.outputFolder));
        RunMergePass(in.file, in.size, stages, &out, report);
        // A stopped stage hands nothing on: its output would be a firmware cut short.
        if (stages[0].result() != MergeResult::Stopped && !out.commit())
            stages[0].failOnInputOutput(0, out.failureMessage());
    }
    endStage(stages[0], ResolveFileName(input), report);
    return stages[0].result();
}

MergeOutcome ExeModFileSxClick(const MergeJob& job, MergeReport& report)
{
    MergeOutcome outcome;
    const std::filesystem::path base = ResolveFileName(job.baseFirmware);
    const std::filesystem::path merged = job.outputFolder / job.mergedFirmwareName;
    // The stages that merge in the pass, and the stage whose checks stop the chain before its
    // merge. In the chain a stage reads the file the stage before it wrote, and the merged
    // firmware name and the bin folder passed stage 1's checks: for the later stages only their
    // bank files remain to be checked.
    std::vector<BankStage> stages;
    int stopStage = 1;
    std::optional<std::string> stop = unfinishedBuild(job);
    outcome.buildIncomplete = stop.has_value();
    if (!stop) stop = failedCheck(job, 1, job.baseFirmware);
    if (!stop) stop = replacesBaseFirmware(job, merged);
    if (!stop) stop = makeStage(job, 1, stages);
    for (int n = 2; n <= kMergeStageCount && !stop; ++n) {
        if (!job.banks[static_cast<std::size_t>(n - 1)]) continue;
        stopStage = n;
        stop = failedFileCheck(bankFile(job, n), bankFileMissing(n));
        if (!stop) stop = makeStage(job, n, stages);
    }

    bool chainGoesOn = true;
    if (!stages.empty()) {
        removeBankRecordFile(job);
        InputFile in(base);
        if (in.failure) {
            report.message(*in.failure);
            outcome.results[0] = MergeResult::Stopped;
            chainGoesOn = false;
        } else {
            // Only a chain that can reach its end gets an output file.
            std::unique_ptr<AtomicOutputFile> out;
            if (!stop) out = std::make_unique<AtomicOutputFile>(merged, ProjectFile(job.outputFolder));
            RunMergePass(in.file, in.size, stages, out.get(), report);

            for (const BankStage& stage : stages) {
                outcome.results[static_cast<std::size_t>(stage.bank() - 1)] = stage.result();
                chainGoesOn = endStage(stage, base, report);
                if (!chainGoesOn) break;
            }
            if (chainGoesOn && !stop) {
                outcome.written = out->commit();
                if (!outcome.written) report.message(placed(base, 0, kNotCreated, out->failureMessage()));
            }
        }
    }
    if (chainGoesOn && stop) {
        report.message(*stop);
        outcome.results[static_cast<std::size_t>(stopStage - 1)] = MergeResult::Stopped;
    }
    std::error_code ec;
    outcome.mergedFirmware = std::filesystem::absolute(ResolveFileName(merged), ec);
    removeIntermediateFiles(job);
    return outcome;
}

}  // namespace trelvant
