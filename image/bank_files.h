#pragma once

#include "image/configuration_image.h"

#include <filesystem>
#include <string>

namespace trelvant {

// project folder / "bin" / "bankN.bin" and "bankg.c".
std::filesystem::path BankFilePath(const std::filesystem::path& projectFolder, int bank);
std::filesystem::path BankSourcePath(const std::filesystem::path& projectFolder);

// Writes bank1.bin to bank5.bin and bankg.c into the project's bin folder (found in any case) as
// one set: all six are written to temporaries first and renamed over the old files only when all
// six are complete, so a failure leaves the old set whole. Throws
// Error("Unable to write to <path>: <reason>") naming the bin folder when it is missing, or the
// file that failed.
void WriteBankOutputs(const ConfigurationImage& image, const std::filesystem::path& projectFolder);

// Writes bank1.bin to bank5.bin, each the 16384 bytes of its bank, as one set like
// WriteBankOutputs.
void WriteBankFiles(const ConfigurationImage& image, const std::filesystem::path& projectFolder);

// The text of bankg.c: banks 1 and 2 as constant byte arrays, 2052 lines ending in CR LF.
std::string BankSourceText(const ConfigurationImage& image);

// Writes bankg.c into the project's bin folder, replacing it atomically; throws
// Error("Unable to write to <path>: <reason>") when it cannot be written.
void WriteBankSource(const ConfigurationImage& image, const std::filesystem::path& projectFolder);

}  // namespace trelvant
