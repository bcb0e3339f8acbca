#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace trelvant {

// The configuration image the device firmware reads: five banks of 16384 bytes at fixed
// offsets, all zero until a build writes them. Multi-byte fields are stored least significant
// byte first, cut to their width without range checks.
class ConfigurationImage {
public:
    static constexpr std::size_t kBankSize = 16384;
    static constexpr int kBankCount = 5;

    // bank is 1 to 5.
    std::span<std::uint8_t, kBankSize> bank(int bank);
    std::span<const std::uint8_t, kBankSize> bank(int bank) const;

    void put8(int bank, std::size_t offset, std::uint32_t value);
    void put16(int bank, std::size_t offset, std::uint32_t value);
    void put32(int bank, std::size_t offset, std::uint32_t value);

    std::uint8_t get8(int bank, std::size_t offset) const;
    std::uint16_t get16(int bank, std::size_t offset) const;
    std::uint32_t get32(int bank, std::size_t offset) const;

private:
    std::array<std::uint8_t, kBankSize * kBankCount> bytes_{};
};

}  // namespace trelvant
