#include "cli/update_command.h"

#include "cli/build_command.h"
#include "cli/merge_command.h"

#include <CLI/CLI.hpp>

namespace trelvant::cli {

CLI::App* AddUpdateCommand(CLI::App& tool, UpdateOptions& options)
{
    CLI::App* update = tool.add_subcommand(
        "update", "Build a project's configuration image and bank files, then merge banks 1 and 2 into a base firmware");
    update->add_option("PROJECT", options.project, "The project folder")->required()->check(ExistingFolder());
    update->add_option("BASE_FIRMWARE", options.baseFirmware, "The base firmware, an S-record file")->required();
    AddBuildTimeOption(*update, options.buildTime);
    return update;
}

int RunUpdate(const UpdateOptions& options, std::ostream& err)
{
    if (const int status = RunBuild(BuildOptions{options.project, options.buildTime}, err); status != 0) return status;
    return RunMerge(MergeOptions{options.project, options.baseFirmware}, err);
}

}  // namespace trelvant::cli
