#pragma once

#include <ostream>
#include <string>

namespace CLI {
class App;
}

namespace trelvant::cli {

struct MergeOptions {
    std::string project;       // the project folder
    std::string baseFirmware;  // the S-record file to start from; only read
};

// Adds "merge" to the tool; its options land in options.
CLI::App* AddMergeCommand(CLI::App& tool, MergeOptions& options);

// Merges PROJECT/bin/bank1.bin and bank2.bin into the base firmware and writes
// PROJECT/New_<base firmware's name>; the merge's messages go to err, one a line. Returns 0 when
// this run wrote the merged firmware with both banks inserted, 1 otherwise.
int RunMerge(const MergeOptions& options, std::ostream& err);

}  // namespace trelvant::cli
