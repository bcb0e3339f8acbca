#include "platform/atomic_file.h"

#include "platform/atomic_output_file.h"
#include "platform/error.h"
#include "platform/file_names.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace trelvant {
namespace {

std::string sizeText(std::uint64_t bytes)
{
    if (bytes % (1024 * 1024) == 0) return std::to_string(bytes / (1024 * 1024)) + " MiB";
    return std::to_string(bytes) + " bytes";
}

}  // namespace

void WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes, OutputPlace place)
{
    AtomicOutputFile file(target, std::move(place));
    file.append(bytes);
    if (!file.commit()) throw Error(file.failureMessage());
}

bool SyncFolder(const std::filesystem::path& folder)
{
#ifdef _WIN32
    (void)folder;
    return true;
#else
    const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return false;
    // Some file systems cannot sync a folder; their renames are as safe as they get.
    const bool ok = fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
    const int saved = errno;
    close(fd);
    errno = saved;
    return ok;
#endif
}

std::string RegularFileProblem(const std::filesystem::path& path)
{
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    // A loop of links or a folder that cannot be searched: the system's reason.
    if (ec && ec != std::errc::no_such_file_or_directory) return ec.message();
    using std::filesystem::file_type;
    switch (status.type()) {
    case file_type::regular:
        return {};
    case file_type::not_found: {
        const bool link = std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec));
        return link ? "a symbolic link to nothing" : SystemReason(ENOENT);
    }
    case file_type::directory:
        return "a folder, not a regular file";
    case file_type::fifo:
        return "a FIFO, not a regular file";
    case file_type::character:
        return "a character device, not a regular file";
    case file_type::block:
        return "a block device, not a regular file";
    case file_type::socket:
        return "a socket, not a regular file";
    default:
        return "not a regular file";
    }
}

std::FILE* OpenFile(const std::filesystem::path& path, const char* mode)
{
#ifdef _WIN32
    const std::string narrow(mode);
    return _wfopen(path.c_str(), std::wstring(narrow.begin(), narrow.end()).c_str());
#else
    return std::fopen(path.c_str(), mode);
#endif
}

std::string ReadWholeFile(const std::filesystem::path& requested, std::uint64_t maxBytes)
{
    const std::filesystem::path path = ResolveFileName(requested);
    const auto failure = [&](const std::string& reason) {
        return Error("Unable to read " + DisplayPath(requested) + ": " + reason);
    };
    if (const std::string problem = RegularFileProblem(path); !problem.empty()) throw failure(problem);

    const auto tooLarge = [&] { return failure("larger than " + sizeText(maxBytes) + ", the limit for this file"); };
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (!ec && size > maxBytes) throw tooLarge();

    errno = 0;
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenFile(path, "rb"), &std::fclose);
    if (!file) throw failure(SystemReason(errno ? errno : EIO));
    std::string text;
    if (!ec) text.reserve(static_cast<std::size_t>(size));
    char block[65536];
    for (;;) {
        const std::size_t got = std::fread(block, 1, sizeof block, file.get());
        // The file may grow while it is read: the limit holds for what is read, not what was listed.
        if (text.size() + got > maxBytes) throw tooLarge();
        text.append(block, got);
        if (got < sizeof block) break;
    }
    if (std::ferror(file.get())) throw failure(SystemReason(errno ? errno : EIO));
    return text;
}

}  // namespace trelvant
