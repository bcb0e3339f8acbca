#pragma once

#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <string_view>

namespace trelvant {

// Writes bytes whole to a temporary file beside target and renames it over target, as
// AtomicOutputFile does. On any failure the old file is left as it was, the temporary file is
// removed and Error("Unable to write to <target>: <reason>") is thrown.
void WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes);

// Why a path cannot be read as a regular file ("No such file or directory", "not a regular
// file", "Too many levels of symbolic links"); empty when it can be opened as one. Never opens
// it, so a device or a pipe is refused without being read.
std::string RegularFileProblem(const std::filesystem::path& path);

// Reads a whole regular file, found without regard to case. Throws
// Error("Unable to read <path>: <reason>") when it is missing, not a regular file, unreadable or
// larger than maxBytes; nothing larger than maxBytes is ever held in memory.
std::string ReadWholeFile(const std::filesystem::path& path,
                          std::uint64_t maxBytes = std::numeric_limits<std::uint64_t>::max());

}  // namespace trelvant
