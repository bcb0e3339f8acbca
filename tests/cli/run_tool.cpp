#include "tests/cli/run_tool.h"

#include "tests/support/temp_folder.h"

#include <cstdlib>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace trelvant::test {
namespace {

std::string quoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

}  // namespace

ToolRun RunTool(const std::vector<std::string>& arguments)
{
    TempFolder output;
    std::string command = quoted(TRELVANT_CLI_PATH);
    for (const std::string& argument : arguments) command += " " + quoted(argument);
    command += " </dev/null >" + quoted((output / "out").string()) + " 2>" + quoted((output / "err").string());

    ToolRun run;
    const int status = std::system(command.c_str());
#ifndef _WIN32
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#else
    run.exitCode = status;
#endif
    run.out = ReadText(output / "out");
    run.err = ReadText(output / "err");
    return run;
}

}  // namespace trelvant::test
