#pragma once

#include "platform/atomic_output_file.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <string>
#include <string_view>

namespace trelvant {

// Writes bytes whole to a temporary file beside target and renames it over target, as
// AtomicOutputFile does. On any failure the old file is left as it was, the temporary file is
// removed and Error("Unable to write to <target>: <reason>") is thrown.
void WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes, OutputPlace place = {});

// Flushes a folder's entries to the disk: the files renamed, made and removed in it, so that a
// power cut brings back none of the old ones. True on Windows, whose renames are written through,
// and on a file system that cannot flush a folder; false with errno set when the flush fails.
bool SyncFolder(const std::filesystem::path& folder);

// Why a path, after its symbolic links, is not a regular file ("No such file or directory", "a
// symbolic link to nothing", "a FIFO, not a regular file", "Too many levels of symbolic links");
// empty when it is one. Asks the file system only: a device or a pipe is never opened.
std::string RegularFileProblem(const std::filesystem::path& path);

// std::fopen for a path in any script: the wide name on Windows, the bytes elsewhere.
std::FILE* OpenFile(const std::filesystem::path& path, const char* mode);

// Reads a whole regular file, found without regard to case. Throws
// Error("Unable to read <path>: <reason>") when it is missing, not a regular file, unreadable or
// larger than maxBytes; nothing larger than maxBytes is ever held in memory.
std::string ReadWholeFile(const std::filesystem::path& path,
                          std::uint64_t maxBytes = std::numeric_limits<std::uint64_t>::max());

}  // namespace trelvant
