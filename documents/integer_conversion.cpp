#include "documents/integer_conversion.h"

#include "platform/error.h"

#include <string>

namespace trelvant {
int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::int32_t> TryStrToInt(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;

    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }

    bool hex = false;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        i += 1;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }

    if (i == text.size()) return std::nullopt;  // no digits at all

    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        if (hex) {
            const int digit = HexDigitValue(text[i]);
            if (digit < 0) return std::nullopt;
            value = value * 16 + static_cast<unsigned>(digit);
            if (value > 0xFFFFFFFFu) return std::nullopt;
        } else {
            const char c = text[i];
            if (c < '0' || c > '9') return std::nullopt;
            value = value * 10 + static_cast<unsigned>(c - '0');
            if (value > 0x80000000u) return std::nullopt;
        }
    }

    if (!hex && value == 0x80000000u && !negative) return std::nullopt;

    // Hexadecimal texts are bit patterns: 0xFFFFFFFF is -1, and its negation wraps.
    std::uint32_t bits = static_cast<std::uint32_t>(value);
    if (negative) bits = 0u - bits;
    return static_cast<std::int32_t>(bits);
}

std::int32_t StrToInt(std::string_view text)
{
    if (const auto value = TryStrToInt(text)) return *value;
    throw Error("'" + std::string(text) + "' is not a valid integer value");
}

std::int32_t StrToIntDef(std::string_view text, std::int32_t fallback)
{
    return TryStrToInt(text).value_or(fallback);
}

}  // namespace trelvant
