#pragma once

#include <cstdio>
#include <filesystem>
#include <string_view>
#include <vector>

namespace trelvant {

// A file written piece by piece into a temporary file beside its target and renamed over the
// target (found without regard to case) only by commit(): until then an older file of the
// target's name keeps its content, and a writer that gives up leaves nothing behind.
class AtomicOutputFile {
public:
    // Opens the temporary file; throws Error("Unable to write to <target>") when it cannot.
    explicit AtomicOutputFile(std::filesystem::path target);
    ~AtomicOutputFile();  // removes the temporary file unless committed
    AtomicOutputFile(const AtomicOutputFile&) = delete;
    AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

    // Buffered; a failing write is remembered and the later ones are skipped.
    void append(std::string_view bytes);
    bool failed() const { return failed_; }

    // Flushes the temporary file to the disk, closes it with checks and renames it over the
    // target, so that neither a crash nor a full disk leaves a half-written file. False when
    // anything failed on the way; the temporary file is then removed and the target left as it was.
    bool commit();

    const std::filesystem::path& target() const { return target_; }

private:
    void flushBuffer();

    std::filesystem::path target_;
    std::filesystem::path temporary_;
    std::FILE* file_ = nullptr;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    bool failed_ = false;
    bool committed_ = false;
};

}  // namespace trelvant
