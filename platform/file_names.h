#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace trelvant {

// File names compare without regard to case, and every reader and writer finds a file by this
// one rule: among the entries of path's folder whose names match path's last component in any
// case, the first in byte order ("Pargen.xml" before "pargen.xml"), whatever the case of the
// name asked for. Without a match, path itself, so that a writer creates the file under the name
// it was given. An entry counts by its name alone: a dangling symbolic link is found too.
std::filesystem::path ResolveFileName(const std::filesystem::path& path);

// A path as the user reads it in a message (UTF-8), with the platform's own separator: on
// Windows "C:/Projects/Boiler2" shows as "C:\Projects\Boiler2".
std::string DisplayPath(const std::filesystem::path& path);

// The path a UTF-8 text names (a command-line argument, a stored name). A plain std::string
// would be read in the system's 8-bit code page on Windows.
std::filesystem::path PathFromUtf8(std::string_view text);

// True when path, in any case of its last component, names an entry of its folder, even one
// that cannot be read (a dangling link, a folder, a file without permission).
bool ExistsAnyCase(const std::filesystem::path& path);

// True when two file names (UTF-8) are the same name in any case, by the rule above.
bool SameFileName(std::string_view a, std::string_view b);

// The system's reason for an error number, as a message ends with it ("No space left on device").
std::string SystemReason(int errorNumber);

}  // namespace trelvant
