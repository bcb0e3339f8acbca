#include "platform/atomic_file.h"

#include "documents/error.h"
#include "platform/file_names.h"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace trelvant {
namespace {

std::FILE* openExclusive(const std::filesystem::path& path)
{
#ifdef _WIN32
    return _wfopen(path.c_str(), L"wbx");
#else
    return std::fopen(path.c_str(), "wbx");
#endif
}

bool syncToDisk(std::FILE* file)
{
#ifdef _WIN32
    return _commit(_fileno(file)) == 0;
#else
    return fsync(fileno(file)) == 0;
#endif
}

std::filesystem::path temporaryBeside(const std::filesystem::path& target, unsigned attempt)
{
    static std::atomic<unsigned> counter{0};
    static const unsigned seed = std::random_device{}();
    std::filesystem::path name = target.filename();
    name += ".tmp" + std::to_string(seed % 100000) + "-" + std::to_string(counter++) + "-" + std::to_string(attempt);
    return target.has_parent_path() ? target.parent_path() / name : name;
}

std::string displayName(const std::filesystem::path& path)
{
    const auto text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace

void WriteFileAtomically(const std::filesystem::path& requested, std::string_view bytes)
{
    const std::filesystem::path target = ResolveFileName(requested);
    const Error failure("Unable to write to " + displayName(requested));

    std::filesystem::path temporary;
    std::FILE* file = nullptr;
    for (unsigned attempt = 0; attempt < 16 && !file; ++attempt) {
        temporary = temporaryBeside(target, attempt);
        file = openExclusive(temporary);
    }
    if (!file) throw failure;

    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fflush(file) == 0 && ok;
    ok = ok && syncToDisk(file);
    ok = std::fclose(file) == 0 && ok;

    std::error_code ec;
    if (ok) {
        // Keep the permissions of the file being replaced.
        const auto old = std::filesystem::status(target, ec);
        if (!ec && std::filesystem::exists(old))
            std::filesystem::permissions(temporary, old.permissions(), ec);
        std::filesystem::rename(temporary, target, ec);
        ok = !ec;
    }
    if (!ok) {
        std::filesystem::remove(temporary, ec);
        throw failure;
    }
}

std::string ReadWholeFile(const std::filesystem::path& requested)
{
    const std::filesystem::path path = ResolveFileName(requested);
    const Error failure("Unable to read " + displayName(requested));
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) throw failure;
    std::ifstream in(path, std::ios::binary);
    if (!in) throw failure;
    std::string text;
    char block[65536];
    while (in.read(block, sizeof block) || in.gcount() > 0)
        text.append(block, static_cast<std::size_t>(in.gcount()));
    if (in.bad()) throw failure;
    return text;
}

}  // namespace trelvant
