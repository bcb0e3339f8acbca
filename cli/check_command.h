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

// Adds "check" to the tool; its options land in options. A PROJECT that is no folder is a usage
// error (status 2, the message and the usage on standard error), which with --json also writes
// {"error": "<message>"} on standard output.
CLI::App* AddCheckCommand(CLI::App& tool, CheckOptions& options);

// Checks the project as "Update Device" would build it and writes the findings on out, one line
// each and a summary line, or as JSON (texts that are not UTF-8 with U+FFFD for each byte that
// is not). Writes no file. Returns 0 when no error was found, else 1. What the check throws
// goes on to the caller; with --json, {"error": "<message>"} is written on out first.
int RunCheck(const CheckOptions& options, std::ostream& out);

}  // namespace trelvant::cli
