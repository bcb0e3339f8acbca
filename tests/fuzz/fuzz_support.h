#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace trelvant::fuzz {

// The private folder of this fuzzing process, made at first use under /dev/shm where it exists
// (the writers sync every file to disk) or the system's temporary folder, and removed when the
// process ends normally.
const std::filesystem::path& Scratch();

// A folder of the scratch folder, emptied: every iteration starts from the same files.
std::filesystem::path FreshFolder(std::string_view name);

// Replaces file with these bytes.
void WriteBytes(const std::filesystem::path& file, std::string_view bytes);

std::string ReadBytes(const std::filesystem::path& file);

// One input holds several files, cut at this line; an input with fewer parts leaves the last
// files absent.
inline constexpr std::string_view kSeparator = "\n--8<--\n";

// The input cut at every separator into at most maxParts parts; the last part keeps the rest.
std::vector<std::string_view> SplitInput(const std::uint8_t* data, std::size_t size, std::size_t maxParts);

// A broken property of the code under test: prints what and aborts, so libFuzzer saves the input.
[[noreturn]] void Fail(const std::string& what);

inline void Check(bool holds, const std::string& what)
{
    if (!holds) Fail(what);
}

}  // namespace trelvant::fuzz
