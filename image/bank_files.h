#pragma once

#include "image/configuration_image.h"

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace trelvant {

// project folder / "bin" / "bankN.bin" and "bankg.c".
std::filesystem::path BankFilePath(const std::filesystem::path& projectFolder, int bank);
std::filesystem::path BankSourcePath(const std::filesystem::path& projectFolder);

// The file in the bin folder that stands while a build replaces its bank files: made and flushed
// to the disk before the first old file is replaced and removed after the last, once the folder
// is flushed. Found there, it tells that the bank files may come from two builds.
inline constexpr std::string_view kUnfinishedBuildMarker = ".build-incomplete";

// Whether the bin folder holds the marker of a build that did not finish replacing its files.
bool BuildIncomplete(const std::filesystem::path& binFolder);
// True when the folder of a bank file holds the marker of an incomplete build.
bool BankFileOfUnfinishedBuild(const std::filesystem::path& bankFile);

// Called after each file of a set has replaced its old version, with the file's path. What it
// throws ends the write there, as a build killed at that moment ends: the marker stays.
using AfterBankFileReplaced = std::function<void(const std::filesystem::path& file)>;

// Writes bank1.bin to bank5.bin and bankg.c into the project's bin folder (found in any case) as
// one set: all six are written to temporaries and flushed to the disk first, so a failure then
// leaves the old set whole; the marker is made, the six are renamed over the old files one right
// after the other, the folder is flushed once and the marker removed. A build that stops during
// the renames leaves the marker, and the next build that completes removes it. Throws
// Error("Unable to write to <path>: <reason>") naming the bin folder when it is missing, or the
// file that failed.
void WriteBankOutputs(const ConfigurationImage& image, const std::filesystem::path& projectFolder,
                      const AfterBankFileReplaced& afterReplaced = {});

// Writes bank1.bin to bank5.bin, each the 16384 bytes of its bank, as one set like
// WriteBankOutputs.
void WriteBankFiles(const ConfigurationImage& image, const std::filesystem::path& projectFolder,
                    const AfterBankFileReplaced& afterReplaced = {});

// The text of bankg.c: banks 1 and 2 as constant byte arrays, 2052 lines ending in CR LF.
std::string BankSourceText(const ConfigurationImage& image);

// Writes bankg.c into the project's bin folder, replacing it atomically; throws
// Error("Unable to write to <path>: <reason>") when it cannot be written.
void WriteBankSource(const ConfigurationImage& image, const std::filesystem::path& projectFolder);

}  // namespace trelvant
