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

}  // namespace

std::filesystem::path ResolveFileName(const std::filesystem::path& path)
{
    std::error_code ec;
    if (path.empty() || std::filesystem::exists(path, ec)) return path;

    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    const NativeString wanted = path.filename().native();
    if (wanted.empty()) return path;

    // Several names may differ only in case on this file system: take the first in sorted order.
    std::filesystem::path best;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const NativeString name = it->path().filename().native();
        if (equalIgnoringCase(name, wanted) && (best.empty() || name < best.filename().native()))
            best = it->path();
    }
    if (best.empty()) return path;
    return path.has_parent_path() ? path.parent_path() / best.filename() : best.filename();
}

std::string DisplayPath(const std::filesystem::path& path)
{
    const auto text = path.u8string();
    return std::string(text.begin(), text.end());
}

bool ExistsAnyCase(const std::filesystem::path& path)
{
    std::error_code ec;
    return std::filesystem::exists(ResolveFileName(path), ec);
}

}  // namespace trelvant
