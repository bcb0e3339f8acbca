#pragma once

#include <optional>
#include <ostream>
#include <string>

namespace CLI {
class App;
}

namespace trelvant::cli {

struct UpdateOptions {
    std::string project;                   // the project folder
    std::string baseFirmware;              // the S-record file to start from; only read
    std::optional<std::string> buildTime;  // YYYY-MM-DDTHH:MM:SS, local
};

// Adds "update" to the tool; its options land in options.
CLI::App* AddUpdateCommand(CLI::App& tool, UpdateOptions& options);

// What "Update Device" does up to the flash tool: the build, then, when it succeeded, the merge.
// Returns the build's status when it failed, else the merge's.
int RunUpdate(const UpdateOptions& options, std::ostream& err);

}  // namespace trelvant::cli
