#pragma once

// Banks read back into a configuration image: from the bank files a build wrote, or from the
// S2 records of merged firmware.

#include "image/configuration_image.h"

#include <cstdint>
#include <filesystem>

namespace trelvant {

// Firmware larger than this is refused before it is read; real firmware is a few MiB of text.
inline constexpr std::uint64_t kMaxFirmwareBytes = 64 * 1024 * 1024;

// Puts the bytes of a bank file into bank `bank` of image. Throws Error("Unable to read <path>:
// <reason>") when the file cannot be read or does not hold exactly 16384 bytes.
void ReadBankFile(const std::filesystem::path& path, int bank, ConfigurationImage& image);

// Puts banks 1 and 2 of an S-record file into image, each from the S2 records of its window
// (0x388000 to 0x38BFFF, 0x398000 to 0x39BFFF). Every line must be a well-formed S-record with
// a correct checksum, no byte of a window may be given twice and both windows must be given
// whole. Throws Error("Unable to read <path>: <reason>") when the file cannot be read,
// Error("<path>, line <n>: <reason>") for a bad line and Error("<path>: <reason>") for a
// window that is not given whole.
void ReadFirmwareBanks(const std::filesystem::path& path, ConfigurationImage& image);

}  // namespace trelvant
