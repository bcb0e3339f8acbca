#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace trelvant {

// The settings file in the platform's INI format: "[section]" lines, then "key=value" lines.
// Section and key names compare without regard to case; blanks around names and values are
// not part of them.

// The value of key in section, or an empty text when the file, section or key is missing.
std::string ReadProfileString(const std::filesystem::path& file, std::string_view section, std::string_view key);

// Sets key in section to value, creating the file, section or key as needed. Every other line
// of the file stays as it was, line endings included. The file is replaced atomically; on
// failure, and for a value holding a line break, Error("Unable to write to <file>: <reason>") is
// thrown and the old file is left as it was. Values are bytes, written as they are given.
void WriteProfileString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                        std::string_view value);

}  // namespace trelvant
