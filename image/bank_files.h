#pragma once

#include "image/configuration_image.h"

#include <filesystem>
#include <string>

namespace trelvant {

// project folder / "bin" / "bankN.bin" and "bankg.c".
std::filesystem::path BankFilePath(const std::filesystem::path& projectFolder, int bank);
std::filesystem::path BankSourcePath(const std::filesystem::path& projectFolder);

// Writes bank1.bin to bank5.bin into the project's bin folder, each the 16384 bytes of its bank.
// Each file is replaced atomically; a file that cannot be written throws
// Error("Unable to write to <path>"), and the files after it are not written.
void WriteBankFiles(const ConfigurationImage& image, const std::filesystem::path& projectFolder);

// The text of bankg.c: banks 1 and 2 as constant byte arrays, 2052 lines ending in CR LF.
std::string BankSourceText(const ConfigurationImage& image);

// Writes bankg.c into the project's bin folder, replacing it atomically; throws
// Error("Unable to write to <path>") when it cannot be written.
void WriteBankSource(const ConfigurationImage& image, const std::filesystem::path& projectFolder);

}  // namespace trelvant
