#include "tests/cli/run_tool.h"

#include "tests/support/temp_folder.h"

#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#endif

namespace trelvant::test {
namespace {

#ifdef _WIN32
std::wstring wide(const std::string& utf8)
{
    if (utf8.empty()) return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), size);
    return out;
}

// One argument of a command line as the C runtime splits it again: quotes around, a quote
// escaped, backslashes doubled only before a quote.
std::wstring quoted(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

HANDLE inheritable(const std::wstring& path, DWORD access, DWORD disposition)
{
    SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, TRUE};
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &attributes, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}
#else
std::string quoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}
#endif

}  // namespace

#ifdef _WIN32
int RunProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments,
               const std::filesystem::path& out, const std::filesystem::path& err)
{
    std::wstring command = quoted(program.wstring());
    for (const std::string& argument : arguments) command += L" " + quoted(wide(argument));

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inheritable(L"NUL", GENERIC_READ, OPEN_EXISTING);
    startup.hStdOutput = inheritable(out.wstring(), GENERIC_WRITE, CREATE_ALWAYS);
    startup.hStdError = inheritable(err.wstring(), GENERIC_WRITE, CREATE_ALWAYS);
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(program.wstring().c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
    for (HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    if (!started) return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    const BOOL known = GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return known ? static_cast<int>(exitCode) : -1;
}
#else
int RunProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments,
               const std::filesystem::path& out, const std::filesystem::path& err)
{
    std::string command = quoted(program.string());
    for (const std::string& argument : arguments) command += " " + quoted(argument);
    command += " </dev/null >" + quoted(out.string()) + " 2>" + quoted(err.string());
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

std::filesystem::path ToolPath()
{
    return TRELVANT_CLI_PATH;
}

ToolRun RunTool(const std::vector<std::string>& arguments)
{
    TempFolder output;
    ToolRun run;
    run.exitCode = RunProgram(TRELVANT_CLI_PATH, arguments, output / "out", output / "err");
    run.out = ReadText(output / "out");
    run.err = ReadText(output / "err");
    return run;
}

}  // namespace trelvant::test
