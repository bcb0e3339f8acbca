#pragma once

#include "documents/byte_map.h"
#include "image/configuration_image.h"
#include "platform/clock.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace trelvant {

// Room in the image's tables; the byte maps' is in documents/byte_map.h.
inline constexpr std::size_t kMaxFrameRows = 250;          // each frame list
inline constexpr std::int32_t kMaxStandardIdentifier = 2047;  // 11-bit identifiers without pargen.xml

// The 16-bit words the device reads as the build's date and time.
std::uint16_t BuildDateWord(const LocalDateTime& moment);  // day, month, two-digit year
std::uint16_t BuildTimeWord(const LocalDateTime& moment);  // seconds halved, minute, hour

// Fills image from the five documents of the project folder: the J1939 layout when Pargen.xml
// exists, the CAN 2.0A layout when it does not. Only what the build writes changes; every other
// byte keeps what an earlier build left. Throws Error when a document cannot be read, a required
// value is missing or not an integer, or a table would overflow its room; what was written
// before that point stays in the image.
void BuildConfigurationImage(ConfigurationImage& image, const std::filesystem::path& projectFolder,
                             const Clock& clock);

}  // namespace trelvant
