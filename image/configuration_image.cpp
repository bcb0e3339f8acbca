#include "image/configuration_image.h"

#include <cassert>

namespace trelvant {

std::span<std::uint8_t, ConfigurationImage::kBankSize> ConfigurationImage::bank(int bank)
{
    assert(bank >= 1 && bank <= kBankCount);
    return std::span<std::uint8_t, kBankSize>(bytes_.data() + (bank - 1) * kBankSize, kBankSize);
}

std::span<const std::uint8_t, ConfigurationImage::kBankSize> ConfigurationImage::bank(int bank) const
{
    assert(bank >= 1 && bank <= kBankCount);
    return std::span<const std::uint8_t, kBankSize>(bytes_.data() + (bank - 1) * kBankSize, kBankSize);
}

void ConfigurationImage::put8(int bank, std::size_t offset, std::uint32_t value)
{
    this->bank(bank)[offset] = static_cast<std::uint8_t>(value);
}

void ConfigurationImage::put16(int bank, std::size_t offset, std::uint32_t value)
{
    put8(bank, offset, value);
    put8(bank, offset + 1, value >> 8);
}

void ConfigurationImage::put32(int bank, std::size_t offset, std::uint32_t value)
{
    put16(bank, offset, value);
    put16(bank, offset + 2, value >> 16);
}

std::uint8_t ConfigurationImage::get8(int bank, std::size_t offset) const
{
    return this->bank(bank)[offset];
}

std::uint16_t ConfigurationImage::get16(int bank, std::size_t offset) const
{
    return static_cast<std::uint16_t>(get8(bank, offset) | get8(bank, offset + 1) << 8);
}

std::uint32_t ConfigurationImage::get32(int bank, std::size_t offset) const
{
    return get16(bank, offset) | static_cast<std::uint32_t>(get16(bank, offset + 2)) << 16;
}

}  // namespace trelvant
