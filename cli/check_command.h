#pragma once

#include <ostream>
#include <string>

namespace CLI {
class App;
}

namespace trelvant::cli {

struct CheckOptions {
    std::string project;  // the project folder
    bool json = false;    // the findings as one JSON object
};

// Adds "check" to the tool; its options land in options.
CLI::App* AddCheckCommand(CLI::App& tool, CheckOptions& options);

// Checks the project as "Update Device" would build it and writes the findings on out, one line
// each and a summary line, or as JSON. Writes no file. Returns 0 when no error was found, else 1.
int RunCheck(const CheckOptions& options, std::ostream& out);

}  // namespace trelvant::cli
