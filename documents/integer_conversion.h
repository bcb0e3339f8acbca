#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace trelvant {

// The rule by which every text of the system becomes an integer: leading blanks, an optional
// sign, then decimal digits or hexadecimal digits after "$", "x", "X", "0x" or "0X". Nothing
// may follow the digits. Hexadecimal texts give their 32-bit pattern; decimal overflow fails.
std::optional<std::int32_t> TryStrToInt(std::string_view text);

// The value of a hexadecimal digit in either case, or -1 for any other character.
int HexDigitValue(char c);

// Throws Error("'<text>' is not a valid integer value") for a refused text.
std::int32_t StrToInt(std::string_view text);

// A refused text gives the fallback and raises nothing.
std::int32_t StrToIntDef(std::string_view text, std::int32_t fallback);

}  // namespace trelvant
