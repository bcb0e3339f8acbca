#include "platform/atomic_output_file.h"

#include "documents/error.h"
#include "platform/file_names.h"

#include <atomic>
#include <cstring>
#include <random>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace trelvant {
namespace {

constexpr std::size_t kBufferSize = 1 << 20;

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


}  // namespace

AtomicOutputFile::AtomicOutputFile(std::filesystem::path target) : target_(std::move(target))
{
    for (unsigned attempt = 0; attempt < 16 && !file_; ++attempt) {
        temporary_ = temporaryBeside(target_, attempt);
        file_ = openExclusive(temporary_);
    }
    if (!file_) throw Error("Unable to write to " + DisplayPath(target_));
    buffer_.resize(kBufferSize);
}

AtomicOutputFile::~AtomicOutputFile()
{
    if (committed_) return;
    if (file_) std::fclose(file_);
    std::error_code ec;
    std::filesystem::remove(temporary_, ec);
}

void AtomicOutputFile::flushBuffer()
{
    if (used_ > 0 && !failed_) failed_ = std::fwrite(buffer_.data(), 1, used_, file_) != used_;
    used_ = 0;
}

void AtomicOutputFile::append(std::string_view bytes)
{
    if (failed_) return;
    if (used_ + bytes.size() > buffer_.size()) flushBuffer();
    if (bytes.size() >= buffer_.size()) {
        // Large pieces go straight to the file instead of through the buffer.
        failed_ = failed_ || std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size();
        return;
    }
    std::memcpy(buffer_.data() + used_, bytes.data(), bytes.size());
    used_ += bytes.size();
}

bool AtomicOutputFile::commit()
{
    if (committed_ || !file_) return false;
    flushBuffer();
    bool ok = !failed_ && std::fflush(file_) == 0 && syncToDisk(file_);
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;

    std::error_code ec;
    if (ok) {
        const std::filesystem::path target = ResolveFileName(target_);
        // Keep the permissions of the file being replaced.
        const auto old = std::filesystem::status(target, ec);
        if (!ec && std::filesystem::exists(old))
            std::filesystem::permissions(temporary_, old.permissions(), ec);
        std::filesystem::rename(temporary_, target, ec);
        ok = !ec;
    }
    if (!ok) {
        failed_ = true;
        std::filesystem::remove(temporary_, ec);
        return false;
    }
    committed_ = true;
    return true;
}

}  // namespace trelvant
