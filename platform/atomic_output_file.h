#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace trelvant {

// How an output's target is found. A file the user names is that file, exactly; a file of a project
// is found as the project's readers find it, in any case, and stays inside the project.
struct OutputPlace {
    bool anyCase = false;              // the target is found without regard to case (ResolveFileName)
    std::filesystem::path confinedTo;  // not empty: the file written must lie inside this folder
};

// A file that a project holds, in the project folder or below it: pargen.xml, bin/bank1.bin.
inline OutputPlace ProjectFile(std::filesystem::path projectFolder)
{
    return OutputPlace{true, std::move(projectFolder)};
}

// A file written piece by piece into a temporary file beside its target and renamed over the
// target only by commit(): until then an older file of the target's name keeps its content, and
// a writer that gives up leaves nothing behind.
//
// A symbolic link is written through: the temporary lies beside the file the link leads to, which
// gets the new content while the link stays a link; for a file confined to a folder, a link (or a
// linked folder) that leads outside it is refused. A target that is not a regular file, or is
// write-protected, is refused, and a replaced file keeps its permissions. Temporaries carry the
// name "<target>.trelvant-<16 hex digits>.tmp" and are locked by the run that writes them; those
// that a killed run left beside the same target, and no live run holds, are removed at its next
// write.
class AtomicOutputFile {
public:
    // Opens the temporary file; throws Error("Unable to write to <target>: <reason>") when it cannot.
    explicit AtomicOutputFile(std::filesystem::path target, OutputPlace place = {});
    ~AtomicOutputFile();  // removes the temporary file unless committed
    AtomicOutputFile(const AtomicOutputFile&) = delete;
    AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

    // Buffered; a failing write is remembered and the later ones are skipped.
    void append(std::string_view bytes);
    bool failed() const { return failed_; }

    // Flushes the temporary file to the disk, closes it with checks and renames it over the
    // target, then flushes the folder, so that neither a crash, a full disk nor a power cut leaves
    // a half-written or an old file. False when anything failed on the way; the temporary file is
    // then removed and the target left as it was.
    bool commit();

    // The two steps of commit(), for a set of files that replace their old versions together:
    // finish() flushes and closes the temporary and makes sure the target can be replaced now
    // (on Windows, that no other program holds it open), publish() renames it over the target.
    // A set finishes every file before it publishes any.
    bool finish();
    bool publish();
    // publish() without the folder's flush, for a set that renames its files back to back and
    // then flushes their folder once (SyncFolder).
    bool publishWithoutFolderSync();

    // "Unable to write to <target>: <the system's reason>" for the first failure.
    std::string failureMessage() const;

    const std::filesystem::path& target() const { return target_; }

private:
    void flushBuffer();
    void fail(std::string reason);
    void releaseLock();

    std::filesystem::path target_;       // as the caller named it, for messages
    std::filesystem::path destination_;  // the file that is replaced: case resolved, links followed
    std::filesystem::path temporary_;
    std::FILE* file_ = nullptr;
    int lockDescriptor_ = -1;  // holds the temporary's lock until it is renamed or removed
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    bool failed_ = false;
    bool finished_ = false;
    bool committed_ = false;
    std::string reason_;
};

// The pattern of the temporaries of a target: "<name>.trelvant-<16 hex digits>.tmp".
bool IsTemporaryOf(const std::filesystem::path& entryName, const std::filesystem::path& targetName);

}  // namespace trelvant
