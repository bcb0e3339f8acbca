// The integer conversion: the three entry points agree, accepted texts follow the rule, and every
// 32-bit value written as the system writes numbers converts back to itself.
#include "documents/integer_conversion.h"
#include "platform/error.h"
#include "tests/fuzz/fuzz_support.h"

#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

using trelvant::Error;
using trelvant::StrToInt;
using trelvant::StrToIntDef;
using trelvant::TryStrToInt;
using trelvant::fuzz::Check;

namespace {

std::string Quoted(std::string_view text)
{
    std::string out = "'";
    for (const char c : text) {
        if (c >= 0x20 && c < 0x7F) {
            out += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
            out += hex;
        }
    }
    return out + "'";
}

void EntryPointsAgree(std::string_view text, const std::optional<std::int32_t>& value)
{
    try {
        const std::int32_t strict = StrToInt(text);
        Check(value == strict, "StrToInt and TryStrToInt differ on " + Quoted(text));
    } catch (const Error& e) {
        Check(!value, "StrToInt refused " + Quoted(text) + ", which TryStrToInt accepts");
        // what() ends at the first NUL of a text that holds one.
        const std::string expected = "'" + std::string(text) + "' is not a valid integer value";
        Check(std::string_view(e.what()) == std::string_view(expected).substr(0, expected.find('\0')),
              "refusal message of " + Quoted(text) + ": " + e.what());
    }
    Check(StrToIntDef(text, -1) == value.value_or(-1) && StrToIntDef(text, 77) == value.value_or(77),
          "StrToIntDef and TryStrToInt differ on " + Quoted(text));
}

// Blanks, a sign, then only decimal digits: the text means the number it spells.
void DecimalTextMeansItsNumber(std::string_view text, const std::optional<std::int32_t>& value)
{
    std::size_t i = text.find_first_not_of(' ');
    if (i == std::string_view::npos) return;
    const bool negative = text[i] == '-';
    if (text[i] == '+' || text[i] == '-') ++i;
    const std::string_view digits = text.substr(i);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) return;

    std::uint64_t magnitude = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
    const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
    if (error == std::errc::result_out_of_range || magnitude > static_cast<std::uint64_t>(limit)) {
        Check(!value, "decimal overflow accepted: " + Quoted(text));
        return;
    }
    const std::int64_t expected = negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
    Check(value == static_cast<std::int32_t>(expected), "decimal text " + Quoted(text) + " converts to another number");
}

void AcceptedTextFollowsTheRule(std::string_view text, std::int32_t value)
{
    Check(text.find_first_not_of(" +-$xX0123456789abcdefABCDEF") == std::string_view::npos,
          "accepted a character outside the rule: " + Quoted(text));
    const std::string owned(text);
    Check(TryStrToInt(" " + owned) == value, "a leading blank changed " + Quoted(text));
    Check(!TryStrToInt(owned + " "), "accepted a trailing blank after " + Quoted(text));
    Check(!TryStrToInt(owned + "g"), "accepted a letter after " + Quoted(text));
}

void ValueConvertsBack(std::int32_t value)
{
    const std::uint32_t bits = static_cast<std::uint32_t>(value);
    Check(TryStrToInt(std::to_string(value)) == value, "decimal " + std::to_string(value) + " does not convert back");
    if (value >= 0)
        Check(TryStrToInt("+" + std::to_string(value)) == value, "+" + std::to_string(value) + " does not convert back");

    char upper[16];
    char lower[16];
    std::snprintf(upper, sizeof upper, "%" PRIX32, bits);
    std::snprintf(lower, sizeof lower, "%08" PRIx32, bits);
    for (const char* prefix : {"$", "x", "X", "0x", "0X"}) {
        Check(TryStrToInt(std::string(prefix) + upper) == value, std::string(prefix) + upper + " is not its bit pattern");
        Check(TryStrToInt(std::string(prefix) + lower) == value, std::string(prefix) + lower + " is not its bit pattern");
    }
    // A negative hexadecimal text is the negated bit pattern.
    Check(TryStrToInt(std::string("-$") + upper) == static_cast<std::int32_t>(0u - bits),
          std::string("-$") + upper + " is not the negated pattern");
    // Nine significant hexadecimal digits no longer fit.
    Check(!TryStrToInt(std::string("$1") + lower), std::string("$1") + lower + " accepted");
    // A tenth decimal digit past the range overflows.
    const std::int64_t wider = static_cast<std::int64_t>(value) * 10 + (value < 0 ? -9 : 9);
    if (wider > std::numeric_limits<std::int32_t>::max() || wider < std::numeric_limits<std::int32_t>::min())
        Check(!TryStrToInt(std::to_string(wider)), std::to_string(wider) + " accepted");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::optional<std::int32_t> value = TryStrToInt(text);
    EntryPointsAgree(text, value);
    DecimalTextMeansItsNumber(text, value);
    if (value) AcceptedTextFollowsTheRule(text, *value);

    if (size >= 4) {
        std::int32_t word;
        std::memcpy(&word, data, sizeof word);
        ValueConvertsBack(word);
    }
    return 0;
}
