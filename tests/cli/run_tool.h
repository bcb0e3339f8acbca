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

// The command-line tool built beside the tests.
std::filesystem::path ToolPath();

// Runs program with these arguments (UTF-8), each reaching it as one argument whatever blanks,
// quotes or backslashes it holds; no standard input, standard output and standard error into
// the files out and err. The program's exit code, -1 when it did not end normally.
int RunProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments,
               const std::filesystem::path& out, const std::filesystem::path& err);

}  // namespace trelvant::test
