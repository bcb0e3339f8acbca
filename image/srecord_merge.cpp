#include "image/srecord_merge.h"

#include "documents/error.h"
#include "documents/integer_conversion.h"
#include "platform/atomic_output_file.h"
#include "image/srecord_pass.h"
#include "platform/file_names.h"

#include <algorithm>
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

bool isFile(const std::filesystem::path& path)
{
    std::error_code ec;
    const std::filesystem::path found = ResolveFileName(path);
    return std::filesystem::exists(found, ec) && !std::filesystem::is_directory(found, ec);
}

std::filesystem::path binFolder(const MergeJob& job)
{
    return ResolveFileName(folderPath(job.binFolder));
}

std::filesystem::path bankFile(const MergeJob& job, int bank)
{
    return ResolveFileName(binFolder(job) / ("bank" + std::to_string(bank) + ".bin"));
}

// The checks of a stage in their order: the message of the first that fails.
std::optional<std::string> failedCheck(const MergeJob& job, int stage, const std::filesystem::path& input)
{
    std::error_code ec;
    if (!isFile(input)) return kInputMissing;
    if (job.mergedFirmwareName.empty()) return kNameMissing;
    if (!std::filesystem::is_directory(binFolder(job), ec)) return kBinMissing;
    if (!isFile(bankFile(job, stage))) return bankFileMissing(stage);
    return std::nullopt;
}

BankStage makeStage(const MergeJob& job, int bank)
{
    const std::filesystem::path path = bankFile(job, bank);
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes(kBankSize);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!in && !in.eof()) throw Error("Unable to read " + DisplayPath(path));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return BankStage(bank, BankRecords(bank, bytes));
}

// "Bin.sx" held a stage's records while it ran; an old one goes as a stage would remove its own.
void removeBankRecordFile(const MergeJob& job)
{
    std::error_code ec;
    std::filesystem::remove(ResolveFileName(binFolder(job) / "Bin.sx"), ec);
}

struct InputFile {
    explicit InputFile(const std::filesystem::path& requested) : path(ResolveFileName(requested))
    {
#ifdef _WIN32
        file = _wfopen(path.c_str(), L"rb");
#else
        file = std::fopen(path.c_str(), "rb");
#endif
        if (!file) throw Error("Unable to read " + DisplayPath(requested));
        std::error_code ec;
        size = std::filesystem::file_size(path, ec);
        if (ec) size = 0;
    }
    ~InputFile() { std::fclose(file); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    std::filesystem::path path;
    std::FILE* file = nullptr;
    std::uint64_t size = 0;
};

// The messages that end a stage; false when the chain stops after it.
bool endStage(const BankStage& stage, MergeReport& report)
{
    if (stage.failed()) report.message(kNotCreated);
    else if (stage.result() == MergeResult::Stopped) report.message(kNoS9);
    if (stage.result() == MergeResult::NotInserted) report.message(bankNotInserted(stage.bank()));
    return stage.result() != MergeResult::Stopped;
}

void removeIntermediateFiles(const MergeJob& job)
{
    std::error_code ec;
    const std::filesystem::path base = ResolveFileName(job.baseFirmware);
    for (int n = 1; n <= kMergeStageCount; ++n) {
        const std::filesystem::path file = ResolveFileName(job.outputFolder / ("B" + std::to_string(n) + ".sx"));
        // A base firmware of that name is only read, never removed.
        if (std::filesystem::exists(file, ec) && !std::filesystem::equivalent(file, base, ec))
            std::filesystem::remove(file, ec);
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
    if (const auto message = failedCheck(job, stage, input)) {
        report.message(*message);
        return MergeResult::Stopped;
    }
    removeBankRecordFile(job);
    BankStage stages[] = {makeStage(job, stage)};
    {
        InputFile in(input);
        AtomicOutputFile out(job.outputFolder / outputName);
        if (!RunMergePass(in.file, in.size, stages, &out, report)) stages[0].failOnInputOutput();
        // A stopped stage hands nothing on: its output would be a firmware cut short.
        if (stages[0].result() != MergeResult::Stopped && !out.commit()) stages[0].failOnInputOutput();
    }
    endStage(stages[0], report);
    return stages[0].result();
}

MergeOutcome ExeModFileSxClick(const MergeJob& job, MergeReport& report)
{
    MergeOutcome outcome;
    // The stages that merge in the pass, and the stage whose checks stop the chain before its
    // merge. In the chain a stage reads the file the stage before it wrote, and the merged
    // firmware name and the bin folder passed stage 1's checks: for the later stages only their
    // bank files remain to be checked.
    std::vector<int> merging;
    int stopStage = 0;
    std::optional<std::string> stop = failedCheck(job, 1, job.baseFirmware);
    if (stop) {
        stopStage = 1;
    } else {
        merging.push_back(1);
        for (int n = 2; n <= kMergeStageCount && !stop; ++n) {
            if (!job.banks[static_cast<std::size_t>(n - 1)]) continue;
            if (isFile(bankFile(job, n))) {
                merging.push_back(n);
            } else {
                stop = bankFileMissing(n);
                stopStage = n;
            }
        }
    }

    bool chainGoesOn = true;
    if (!merging.empty()) {
        removeBankRecordFile(job);
        std::vector<BankStage> stages;
        for (int n : merging) stages.push_back(makeStage(job, n));
        InputFile in(job.baseFirmware);
        // Only a chain that can reach its end gets an output file.
        std::unique_ptr<AtomicOutputFile> out;
        if (!stop) out = std::make_unique<AtomicOutputFile>(job.outputFolder / job.mergedFirmwareName);
        if (!RunMergePass(in.file, in.size, stages, out.get(), report)) stages.front().failOnInputOutput();

        for (const BankStage& stage : stages) {
            outcome.results[static_cast<std::size_t>(stage.bank() - 1)] = stage.result();
            chainGoesOn = endStage(stage, report);
            if (!chainGoesOn) break;
        }
        if (chainGoesOn && !stop) {
            outcome.written = out->commit();
            if (!outcome.written) report.message(kNotCreated);
        }
    }
    if (chainGoesOn && stop) {
        report.message(*stop);
        outcome.results[static_cast<std::size_t>(stopStage - 1)] = MergeResult::Stopped;
    }
    std::error_code ec;
    outcome.mergedFirmware = std::filesystem::absolute(ResolveFileName(job.outputFolder / job.mergedFirmwareName), ec);
    removeIntermediateFiles(job);
    return outcome;
}

}  // namespace trelvant
