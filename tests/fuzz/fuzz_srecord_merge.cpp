// The firmware merge over a fuzzed base firmware and bank files. The one-pass merge must give
// the files, results and messages of the chain of stages it stands for, leave the base firmware
// as it was and no intermediate file behind, and hold both banks' records when complete.
//
// Input: the base firmware, the separator line, the bytes of bank1.bin, the separator line, the
// bytes of bank2.bin. A missing part leaves its bank file absent.
#include "image/srecord_merge.h"
#include "platform/error.h"
#include "tests/fuzz/fuzz_support.h"

#include <array>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

using namespace trelvant;
using fuzz::Check;

namespace {

class Recording final : public MergeReport {
public:
    void message(const std::string& text) override { messages.push_back(text); }
    void progress(std::uint64_t position, std::uint64_t maximum) override
    {
        Check(position <= maximum, "progress past its maximum");
    }

    std::vector<std::string> messages;
};

struct Run {
    bool threw = false;
    std::array<std::optional<MergeResult>, kMergeStageCount> results;
    std::vector<std::string> messages;
    std::optional<std::string> merged;  // the merged firmware's bytes, when there is one
};

std::filesystem::path Project(std::string_view name, const std::vector<std::string_view>& parts)
{
    const std::filesystem::path folder = fuzz::FreshFolder(name);
    std::filesystem::create_directory(folder / "bin");
    for (std::size_t bank = 1; bank < parts.size(); ++bank)
        fuzz::WriteBytes(folder / "bin" / ("bank" + std::to_string(bank) + ".bin"), parts[bank]);
    return folder;
}

std::optional<std::string> Merged(const MergeJob& job)
{
    const std::filesystem::path path = job.outputFolder / job.mergedFirmwareName;
    if (!std::filesystem::exists(path)) return std::nullopt;
    return fuzz::ReadBytes(path);
}

void NoIntermediateFiles(const MergeJob& job)
{
    for (int n = 1; n <= kMergeStageCount; ++n)
        Check(!std::filesystem::exists(job.outputFolder / ("B" + std::to_string(n) + ".sx")),
              "B" + std::to_string(n) + ".sx left in the project folder");
    Check(!std::filesystem::exists(job.binFolder / "Bin.sx"), "Bin.sx left in the bin folder");
}

Run OnePass(const MergeJob& job, bool& complete)
{
    Run run;
    Recording report;
    try {
        const MergeOutcome outcome = ExeModFileSxClick(job, report);
        run.results = outcome.results;
        complete = outcome.complete();
        Check(outcome.written == std::filesystem::exists(job.outputFolder / job.mergedFirmwareName),
              "the outcome says written and the merged firmware is absent, or the other way round");
    } catch (const Error&) {
        run.threw = true;
    }
    run.messages = report.messages;
    run.merged = Merged(job);
    NoIntermediateFiles(job);
    return run;
}

// Stage n reads what stage n - 1 wrote; a stage whose bank is not selected renames its input.
Run Chain(const MergeJob& job)
{
    Run run;
    Recording report;
    try {
        std::filesystem::path input = job.baseFirmware;
        for (int n = 1; n <= kMergeStageCount; ++n) {
            const std::filesystem::path output =
                n == kMergeStageCount ? job.mergedFirmwareName : std::filesystem::path("B" + std::to_string(n) + ".sx");
            if (job.banks[static_cast<std::size_t>(n - 1)]) {
                const MergeResult result = MergeBank(job, n, input, output, report);
                run.results[static_cast<std::size_t>(n - 1)] = result;
                if (result == MergeResult::Stopped) break;
            } else {
                std::error_code ec;
                std::filesystem::remove(job.outputFolder / output, ec);
                std::filesystem::rename(input, job.outputFolder / output, ec);
            }
            input = job.outputFolder / output;
        }
    } catch (const Error&) {
        run.threw = true;
    }
    for (int n = 1; n <= kMergeStageCount; ++n) {
        std::error_code ec;
        std::filesystem::remove(job.outputFolder / ("B" + std::to_string(n) + ".sx"), ec);
    }
    run.messages = report.messages;
    run.merged = Merged(job);
    return run;
}

std::string Joined(const std::vector<std::string>& messages)
{
    std::string text;
    for (const std::string& m : messages) text += "[" + m + "]";
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::string_view> parts = fuzz::SplitInput(data, size, 3);
    const std::filesystem::path master = fuzz::FreshFolder("MASTER");
    const std::filesystem::path base = master / "Pelmora.sx";
    fuzz::WriteBytes(base, parts[0]);

    const MergeJob job = ProjectMergeJob(Project("project", parts), base);
    bool complete = false;
    const Run onePass = OnePass(job, complete);
    Check(fuzz::ReadBytes(base) == parts[0], "the merge changed the base firmware");

    const Run chain = Chain(ProjectMergeJob(Project("chain", parts), base));
    Check(onePass.threw == chain.threw, "one pass and the chain of stages differ in raising an error");
    if (onePass.threw) return 0;
    Check(onePass.results == chain.results, "one pass and the chain of stages give other stage results");
    Check(onePass.messages == chain.messages,
          "messages of one pass " + Joined(onePass.messages) + " and of the chain " + Joined(chain.messages));
    Check(onePass.merged == chain.merged, "one pass and the chain of stages write other merged firmware");

    if (complete) {
        for (int bank = 1; bank <= 2; ++bank) {
            const std::string_view bytes = static_cast<std::size_t>(bank) < parts.size() ? parts[static_cast<std::size_t>(bank)] : "";
            const std::string records = BankRecords(bank, {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
            Check(onePass.merged->find(records) != std::string::npos, "a complete merge lacks the records of bank " + std::to_string(bank));
        }
    }
    return 0;
}
