#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace trelvant {

// Writes bytes whole to a temporary file in target's folder, flushes it to the disk and renames
// it over target (found without regard to case). On any failure the old file is left as it was,
// the temporary file is removed and Error("Unable to write to <target>") is thrown.
void WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes);

// Reads a whole file, found without regard to case. Throws Error("Unable to read <path>") when
// it is missing, a folder or unreadable.
std::string ReadWholeFile(const std::filesystem::path& path);

}  // namespace trelvant
