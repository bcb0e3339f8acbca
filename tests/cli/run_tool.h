#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace trelvant::test {

// What one run of trelvant-cli gave.
struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the command-line tool built beside the tests with these arguments, no standard input.
ToolRun RunTool(const std::vector<std::string>& arguments);

}  // namespace trelvant::test
