#include "platform/atomic_output_file.h"

#include "platform/atomic_file.h"
#include "platform/error.h"
#include "platform/file_names.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>
#include <random>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace trelvant {
namespace {

constexpr std::size_t kBufferSize = 1 << 20;
constexpr int kMaxLinkDepth = 40;
constexpr std::string_view kTemporaryMark = ".trelvant-";
constexpr std::string_view kTemporaryEnd = ".tmp";
constexpr std::size_t kTemporaryDigits = 16;

// A write beyond the process's file size limit must fail like a full disk, not end the program.
void ignoreFileSizeSignal()
{
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
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

#ifdef _WIN32
bool heldElsewhere(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION;
}

// A file that another program holds open (an editor, a virus scanner, the indexer) cannot be
// replaced on Windows. Such holds are often brief, so a step is tried again a few times; then
// the system's reason, in words for a held file. Empty when the step succeeded.
template <typename Step>
std::string whileNotHeld(Step step)
{
    constexpr int kAttempts = 10;
    constexpr DWORD kPauseMilliseconds = 50;
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (attempt > 0) Sleep(kPauseMilliseconds);
        error = step();
        if (error == ERROR_SUCCESS) return {};
        if (!heldElsewhere(error)) break;
    }
    if (heldElsewhere(error)) return "the file is in use by another program";
    return std::system_category().message(static_cast<int>(error));
}
#endif

// Why destination cannot be replaced now, checked before a set of files replaces any of its
// old versions; empty when it can, or when it does not exist.
std::string replaceable(const std::filesystem::path& destination)
{
#ifdef _WIN32
    // Opening for deletion with every sharing allowed fails exactly while another handle
    // refuses deletion, as one from the C library does.
    return whileNotHeld([&]() -> DWORD {
        const HANDLE file = CreateFileW(destination.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
        }
        CloseHandle(file);
        return ERROR_SUCCESS;
    });
#else
    (void)destination;  // a rename replaces a file whoever holds it open
    return {};
#endif
}

// Renames temporary over destination, replacing it; the system's reason when it cannot.
std::string replaceWith(const std::filesystem::path& temporary, const std::filesystem::path& destination)
{
#ifdef _WIN32
    // Write-through: the rename reaches the disk before the call returns, as the folder's flush
    // does elsewhere.
    return whileNotHeld([&]() -> DWORD {
        if (MoveFileExW(temporary.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return ERROR_SUCCESS;
        return GetLastError();
    });
#else
    std::error_code ec;
    std::filesystem::rename(temporary, destination, ec);
    return ec ? ec.message() : std::string();
#endif
}

std::filesystem::path folderOf(const std::filesystem::path& file)
{
    return file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
}

// The file a chain of symbolic links leads to; an error code when the chain loops.
std::filesystem::path followLinks(std::filesystem::path path, std::error_code& error)
{
    for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec))) return path;
        const std::filesystem::path link = std::filesystem::read_symlink(path, ec);
        if (ec) {
            error = ec;
            return path;
        }
        path = link.is_absolute() ? link : folderOf(path) / link;
    }
    error = std::make_error_code(std::errc::too_many_symbolic_link_levels);
    return path;
}

// Why an existing destination must not be replaced; empty when it may.
std::string refusal(const std::filesystem::path& destination)
{
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(destination, ec);
    if (ec || !std::filesystem::exists(status)) return {};
    if (std::string problem = RegularFileProblem(destination); !problem.empty()) return problem;
    using std::filesystem::perms;
    if ((status.permissions() & (perms::owner_write | perms::group_write | perms::others_write)) == perms::none)
        return "the file is write-protected";
#ifndef _WIN32
    if (access(destination.c_str(), W_OK) != 0) return SystemReason(errno);
#endif
    return {};
}

std::string randomDigits()
{
    static std::mutex mutex;
    static std::mt19937_64 engine{std::random_device{}()};
    static constexpr char kHex[] = "0123456789abcdef";
    std::uint64_t value;
    {
        const std::lock_guard lock(mutex);
        value = engine();
    }
    std::string digits(kTemporaryDigits, '0');
    for (std::size_t i = 0; i < kTemporaryDigits; ++i, value >>= 4) digits[i] = kHex[value & 0x0F];
    return digits;
}

std::filesystem::path temporaryBeside(const std::filesystem::path& destination)
{
    std::filesystem::path name = destination.filename();
    name += std::string(kTemporaryMark) + randomDigits() + std::string(kTemporaryEnd);
    return folderOf(destination) / name;
}

#ifndef _WIN32
// True when a live run holds the temporary's lock: it is being written.
bool heldByALiveRun(const std::filesystem::path& temporary)
{
    const int fd = open(temporary.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return true;  // not ours to judge
    const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0;
    close(fd);
    return held;
}
#endif

// Temporaries of this destination left by a run that was killed before it could remove them. A
// temporary that a running writer holds is left alone (on Windows it cannot be removed while open).
void removeStaleTemporaries(const std::filesystem::path& destination)
{
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folderOf(destination), ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code entryError;
        if (!IsTemporaryOf(it->path().filename(), destination.filename()) ||
            !std::filesystem::is_regular_file(it->symlink_status(entryError)))
            continue;
#ifndef _WIN32
        if (heldByALiveRun(it->path())) continue;
#endif
        std::filesystem::remove(it->path(), entryError);
    }
}

// Creates the temporary file, locked against the stale-file removal of other runs; its lock is
// held through lockDescriptor until the file is renamed or removed. Null with errno set on failure.
std::FILE* createTemporary(const std::filesystem::path& temporary, int& lockDescriptor)
{
#ifdef _WIN32
    lockDescriptor = -1;
    return OpenFile(temporary, "wbx");
#else
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    lockDescriptor = dup(fd);
    if (lockDescriptor < 0 || flock(lockDescriptor, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (lockDescriptor >= 0) close(lockDescriptor);
        lockDescriptor = -1;
        close(fd);
        unlink(temporary.c_str());
        errno = error;
        return nullptr;
    }
    std::FILE* file = fdopen(fd, "wb");
    if (!file) {
        const int error = errno;
        close(fd);
        close(lockDescriptor);
        lockDescriptor = -1;
        unlink(temporary.c_str());
        errno = error;
    }
    return file;
#endif
}

// Why the file written lies outside folder, or empty when it lies inside: the destination after
// every link, of the file and of the folders above it.
std::string outsideOf(const std::filesystem::path& destination, const std::filesystem::path& folder)
{
    std::error_code ec;
    const std::filesystem::path inside = std::filesystem::weakly_canonical(folder, ec);
    if (ec) return {};  // a missing folder fails on the write itself, with the system's reason
    const std::filesystem::path real = std::filesystem::weakly_canonical(std::filesystem::absolute(destination, ec), ec);
    if (ec) return {};
    auto part = real.begin();
    for (auto wanted = inside.begin(); wanted != inside.end(); ++wanted, ++part)
        if (wanted->empty()) break;  // the end of a folder written with a trailing separator
        else if (part == real.end() || *part != *wanted)
            return "it leads to " + DisplayPath(real) + ", outside the project folder " + DisplayPath(inside);
    return {};
}

}  // namespace

bool IsTemporaryOf(const std::filesystem::path& entryName, const std::filesystem::path& targetName)
{
    const std::string entry = DisplayPath(entryName);
    const std::string target = DisplayPath(targetName);
    const std::size_t length = target.size() + kTemporaryMark.size() + kTemporaryDigits + kTemporaryEnd.size();
    if (target.empty() || entry.size() != length || !entry.starts_with(target)) return false;
    std::string_view rest = std::string_view(entry).substr(target.size());
    if (!rest.starts_with(kTemporaryMark) || !rest.ends_with(kTemporaryEnd)) return false;
    rest = rest.substr(kTemporaryMark.size(), kTemporaryDigits);
    return std::ranges::all_of(rest, [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

AtomicOutputFile::AtomicOutputFile(std::filesystem::path target, OutputPlace place) : target_(std::move(target))
{
    ignoreFileSizeSignal();
    const std::filesystem::path named = place.anyCase ? ResolveFileName(target_) : target_;
    // What the system reaches through the name, before our own walk of its links: /dev/stdout on a
    // pipe is a link the walk cannot follow, but it is plainly no regular file.
    {
        std::error_code ec;
        const std::filesystem::file_status reached = std::filesystem::status(named, ec);
        if (!ec && std::filesystem::exists(reached) && !std::filesystem::is_regular_file(reached))
            throw Error("Unable to write to " + DisplayPath(target_) + ": " + RegularFileProblem(named));
    }
    std::error_code linkError;
    destination_ = followLinks(named, linkError);
    if (linkError) throw Error("Unable to write to " + DisplayPath(target_) + ": " + linkError.message());
    if (!place.confinedTo.empty())
        if (const std::string outside = outsideOf(destination_, place.confinedTo); !outside.empty())
            throw Error("Unable to write to " + DisplayPath(target_) + ": " + outside);
    if (const std::string refused = refusal(destination_); !refused.empty())
        throw Error("Unable to write to " + DisplayPath(target_) + ": " + refused);

    removeStaleTemporaries(destination_);
    int error = 0;
    for (unsigned attempt = 0; attempt < 16 && !file_; ++attempt) {
        temporary_ = temporaryBeside(destination_);
        errno = 0;
        file_ = createTemporary(temporary_, lockDescriptor_);
        error = errno;
        if (!file_ && error != EEXIST) break;
    }
    if (!file_) throw Error("Unable to write to " + DisplayPath(target_) + ": " + SystemReason(error ? error : EIO));
    buffer_.resize(kBufferSize);
}

AtomicOutputFile::~AtomicOutputFile()
{
    if (!committed_) {
        if (file_) std::fclose(file_);
        std::error_code ec;
        std::filesystem::remove(temporary_, ec);
    }
    releaseLock();
}

void AtomicOutputFile::releaseLock()
{
#ifndef _WIN32
    if (lockDescriptor_ >= 0) close(lockDescriptor_);
#endif
    lockDescriptor_ = -1;
}

void AtomicOutputFile::fail(std::string reason)
{
    if (!failed_) reason_ = std::move(reason);
    failed_ = true;
}

void AtomicOutputFile::flushBuffer()
{
    if (used_ > 0 && !failed_ && file_) {
        errno = 0;
        if (std::fwrite(buffer_.data(), 1, used_, file_) != used_) fail(SystemReason(errno ? errno : EIO));
    }
    used_ = 0;
}

void AtomicOutputFile::append(std::string_view bytes)
{
    if (failed_ || !file_) return;
    if (used_ + bytes.size() > buffer_.size()) flushBuffer();
    if (bytes.size() >= buffer_.size()) {
        // Large pieces go straight to the file instead of through the buffer.
        errno = 0;
        if (!failed_ && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
            fail(SystemReason(errno ? errno : EIO));
        return;
    }
    std::memcpy(buffer_.data() + used_, bytes.data(), bytes.size());
    used_ += bytes.size();
}

bool AtomicOutputFile::finish()
{
    if (finished_) return !failed_;
    if (committed_ || !file_) return false;
    flushBuffer();
    errno = 0;
    if (!failed_ && (std::fflush(file_) != 0 || !syncToDisk(file_))) fail(SystemReason(errno ? errno : EIO));
    errno = 0;
    if (std::fclose(file_) != 0) fail(SystemReason(errno ? errno : EIO));
    file_ = nullptr;
    finished_ = true;
    if (!failed_)
        if (std::string reason = replaceable(destination_); !reason.empty()) fail(std::move(reason));
    if (failed_) {
        std::error_code ec;
        std::filesystem::remove(temporary_, ec);
        releaseLock();
    }
    return !failed_;
}

bool AtomicOutputFile::publish()
{
    if (!publishWithoutFolderSync()) return false;
    // After a rename the folder's entry must reach the disk too, or a power cut brings the old file back.
    if (!SyncFolder(folderOf(destination_))) {
        fail(SystemReason(errno ? errno : EIO));
        return false;
    }
    return true;
}

bool AtomicOutputFile::publishWithoutFolderSync()
{
    if (!finished_ || failed_ || committed_) return false;
    std::error_code ec;
    // Keep the permissions of the file being replaced.
    const auto old = std::filesystem::status(destination_, ec);
    if (!ec && std::filesystem::exists(old)) std::filesystem::permissions(temporary_, old.permissions(), ec);
    if (const std::string reason = replaceWith(temporary_, destination_); !reason.empty()) {
        fail(reason);
        std::filesystem::remove(temporary_, ec);
        releaseLock();
        return false;
    }
    committed_ = true;
    releaseLock();
    return true;
}

bool AtomicOutputFile::commit()
{
    return finish() && publish();
}

std::string AtomicOutputFile::failureMessage() const
{
    std::string message = "Unable to write to " + DisplayPath(target_);
    if (!reason_.empty()) message += ": " + reason_;
    return message;
}

}  // namespace trelvant
