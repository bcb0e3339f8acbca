#include "platform/file_names.h"

#include <algorithm>
#include <system_error>

namespace trelvant {
namespace {

using NativeString = std::filesystem::path::string_type;

template <typename Char>
Char foldAscii(Char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<Char>(c - 'A' + 'a') : c;
}

bool equalIgnoringCase(const NativeString& a, const NativeString& b)
{
    return std::ranges::equal(a, b, [](auto x, auto y) { return foldAscii(x) == foldAscii(y); });
}

bool entryExists(const std::filesystem::path& path)
{
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

}  // namespace

bool SameFileName(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](char x, char y) { return foldAscii(x) == foldAscii(y); });
}

std::filesystem::path ResolveFileName(const std::filesystem::path& path)
{
    if (path.empty()) return path;
    const NativeString wanted = path.filename().native();
    if (wanted.empty() || path.filename() == "." || path.filename() == "..") return path;

    // The same choice whichever case is asked for: a dialog writing "pargen.xml" and the image
    // builder reading "Pargen.xml" meet in one file even where both names exist.
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    std::error_code ec;
    NativeString best;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const NativeString name = it->path().filename().native();
        if (equalIgnoringCase(name, wanted) && (best.empty() || name < best)) best = name;
    }
    if (best.empty()) {
        // A folder that cannot be listed may still hold the file under the very name asked for.
        return path;
    }
    return path.has_parent_path() ? path.parent_path() / best : std::filesystem::path(best);
}

std::string DisplayPath(const std::filesystem::path& path)
{
    std::filesystem::path shown = path;
    shown.make_preferred();  // a no-op where "/" is the only separator
    const auto text = shown.u8string();
    return std::string(text.begin(), text.end());
}

std::filesystem::path PathFromUtf8(std::string_view text)
{
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

bool ExistsAnyCase(const std::filesystem::path& path)
{
    return entryExists(ResolveFileName(path));
}

std::string SystemReason(int errorNumber)
{
    return std::generic_category().message(errorNumber);
}

}  // namespace trelvant
