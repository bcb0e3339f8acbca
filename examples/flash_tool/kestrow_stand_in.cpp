// Stands in for the flash tool where the real one is not installed: checks the firmware file it is
// given and appends its arguments and verdict to Kestrow.log beside itself. It opens no serial
// port and writes nothing to a device.
//
//   Kestrow.exe FIRMWARE PORT      PORT: 0 for COM1 to 7 for COM8
//
// Exit status 0 when the file would be flashed, 1 when it is refused.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Address bytes of each record type; 0 for a type that does not exist.
int addressBytes(char type)
{
    switch (type) {
    case '0': case '1': case '5': case '9': return 2;
    case '2': case '6': case '8': return 3;
    case '3': case '7': return 4;
    default: return 0;
    }
}

// What is wrong with one record, or nothing.
std::string recordFault(const std::string& line)
{
    if (line.size() < 4 || line[0] != 'S' || addressBytes(line[1]) == 0) return "not an S-record";
    std::vector<int> bytes;
    for (std::size_t i = 2; i < line.size(); i += 2) {
        const int high = hexValue(line[i]);
        const int low = i + 1 < line.size() ? hexValue(line[i + 1]) : -1;
        if (high < 0 || low < 0) return "not hexadecimal";
        bytes.push_back(high * 16 + low);
    }
    const std::size_t count = static_cast<std::size_t>(bytes[0]);
    if (count + 1 != bytes.size()) return "byte count " + std::to_string(count) + " but " + std::to_string(bytes.size() - 1) + " bytes";
    if (count < static_cast<std::size_t>(addressBytes(line[1])) + 1) return "too short for its address";
    int sum = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) sum += bytes[i];
    if (((~sum) & 0xFF) != bytes.back()) return "wrong checksum";
    return {};
}

std::string check(const std::filesystem::path& firmware)
{
    std::ifstream in(firmware, std::ios::binary);
    if (!in) return "refused: cannot read the file";
    std::string line;
    std::size_t number = 0;
    char lastType = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (const std::string fault = recordFault(line); !fault.empty())
            return "refused: line " + std::to_string(number) + ": " + fault;
        lastType = line[1];
    }
    if (number == 0) return "refused: no records";
    if (lastType != '9') return "refused: the last record is not S9";
    return "ok: " + std::to_string(number) + " records";
}

std::filesystem::path ownFolder(const char* argv0)
{
#ifdef _WIN32
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) return std::filesystem::path(path).parent_path();
#else
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) return self.parent_path();
#endif
    return std::filesystem::absolute(argv0).parent_path();
}

}  // namespace

int main(int argc, char** argv)
{
    std::string verdict;
    const std::string port = argc == 3 ? argv[2] : "";
    if (argc != 3) verdict = "refused: expected the firmware file and the port number";
    else if (port.size() != 1 || port[0] < '0' || port[0] > '7') verdict = "refused: the port number is not 0 to 7";
    else verdict = check(argv[1]);

    std::string entry;
    for (int i = 1; i < argc; ++i) entry += std::string("\"") + argv[i] + "\" ";
    entry += verdict;
    std::ofstream log(ownFolder(argv[0]) / "Kestrow.log", std::ios::app | std::ios::binary);  // "\n" on every platform
    log << entry << '\n';
    return verdict.rfind("ok", 0) == 0 ? 0 : 1;
}
