#pragma once

#include <filesystem>
#include <string>

namespace trelvant {

// File names compare without regard to case. Returns the existing entry of path's folder whose
// name matches path's last component in any case (the exact name first), or path itself when
// none matches, so that a writer creates the file under the name it was given.
std::filesystem::path ResolveFileName(const std::filesystem::path& path);

// A path as the user reads it in a message (UTF-8).
std::string DisplayPath(const std::filesystem::path& path);

// True when path, in any case of its last component, names an existing entry.
bool ExistsAnyCase(const std::filesystem::path& path);

}  // namespace trelvant
