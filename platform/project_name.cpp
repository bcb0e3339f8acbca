#include "platform/project_name.h"

#include <algorithm>
#include <array>

namespace trelvant {
namespace {

constexpr std::string_view kForbidden = "<>:\"/\\|?*";

// Windows opens the device, not a file, for these names whatever follows the first dot.
constexpr std::array<std::string_view, 6> kDevices = {"con", "prn", "aux", "nul", "conin$", "conout$"};
constexpr std::array<std::string_view, 2> kNumberedDevices = {"com", "lpt"};
constexpr std::array<std::string_view, 3> kSuperscriptDigits = {"\xC2\xB9", "\xC2\xB2", "\xC2\xB3"};  // ¹ ² ³

std::string lowerAscii(std::string_view text)
{
    std::string out(text);
    std::ranges::transform(out, out.begin(), [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });
    return out;
}

bool isDeviceName(std::string_view name)
{
    // "CON.txt" and "CON .txt" are the device too: the part before the first dot, less trailing blanks.
    std::string_view stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
    const std::string lower = lowerAscii(stem);
    if (std::ranges::find(kDevices, lower) != kDevices.end()) return true;
    for (const std::string_view device : kNumberedDevices) {
        if (!lower.starts_with(device)) continue;
        const std::string_view number = std::string_view(lower).substr(device.size());
        if (number.size() == 1 && number[0] >= '0' && number[0] <= '9') return true;
        if (std::ranges::find(kSuperscriptDigits, number) != kSuperscriptDigits.end()) return true;
    }
    return false;
}

}  // namespace

constexpr std::size_t kMaxFileNameBytes = 255;

bool IsPortableFileName(std::string_view name)
{
    if (name.empty() || name == "." || name == "..") return false;
    // A folder name holds at most 255 bytes on Linux and 255 UTF-16 units on Windows; a UTF-8
    // name of at most 255 bytes fits both.
    if (name.size() > kMaxFileNameBytes) return false;
    const bool badCharacter = std::ranges::any_of(name, [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || kForbidden.find(c) != std::string_view::npos;
    });
    if (badCharacter) return false;
    if (name.back() == '.' || name.back() == ' ') return false;
    return !isDeviceName(name);
}

std::optional<std::string> NewProjectNameRefusal(std::string_view typedName)
{
    if (IsPortableFileName(typedName)) return std::nullopt;
    return "Name project not valid";
}

}  // namespace trelvant
