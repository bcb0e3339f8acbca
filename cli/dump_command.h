#pragma once

#include <optional>
#include <ostream>
#include <string>

namespace CLI {
class App;
}

namespace trelvant::cli {

struct DumpOptions {
    std::string bank1;                    // bank1.bin of a build
    std::string bank2;                    // bank2.bin of a build
    std::optional<std::string> firmware;  // merged firmware, in place of the two bank files
    bool json = false;
};

// Adds "dump" to the tool; its options land in options.
CLI::App* AddDumpCommand(CLI::App& tool, DumpOptions& options);

// Decodes banks 1 and 2 and writes the tables, or the JSON, to out; nothing else is written.
// Returns 0, or 1 with the reason on err when a file cannot be read or is not what it must be.
int RunDump(const DumpOptions& options, std::ostream& out, std::ostream& err);

}  // namespace trelvant::cli
