#include "cli/merge_command.h"

#include "cli/build_command.h"

#include "image/srecord_merge.h"
#include "platform/error.h"
#include "platform/file_names.h"

#include <CLI/CLI.hpp>

namespace trelvant::cli {
namespace {

// The messages the dialog shows in message boxes, as lines; no progress.
class StreamMergeReport final : public MergeReport {
public:
    explicit StreamMergeReport(std::ostream& err) : err_(err) {}
    void message(const std::string& text) override { err_ << text << "\n"; }
    void progress(std::uint64_t, std::uint64_t) override {}

private:
    std::ostream& err_;
};

}  // namespace

CLI::App* AddMergeCommand(CLI::App& tool, MergeOptions& options)
{
    CLI::App* merge = tool.add_subcommand(
        "merge", "Merge bin/bank1.bin and bin/bank2.bin of a project into a base firmware, writing New_<base name> "
                 "into the project folder");
    merge->add_option("PROJECT", options.project, "The project folder")->required()->check(ExistingFolder());
    merge->add_option("BASE_FIRMWARE", options.baseFirmware, "The base firmware, an S-record file")->required();
    return merge;
}

int RunMerge(const MergeOptions& options, std::ostream& err)
{
    StreamMergeReport report(err);
    try {
        const MergeOutcome outcome = ExeModFileSxClick(ProjectMergeJob(PathFromUtf8(options.project), PathFromUtf8(options.baseFirmware)), report);
        return outcome.complete() ? 0 : 1;
    } catch (const Error& e) {
        err << e.what() << "\n";
        return 1;
    }
}

}  // namespace trelvant::cli
