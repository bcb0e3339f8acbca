#pragma once

#include <string>
#include <string_view>

namespace trelvant {

// text as a JSON string, quotes included: quote, backslash and control characters escaped,
// everything else (UTF-8 as the documents hold it) unchanged.
std::string JsonString(std::string_view text);

// text with every byte that starts no well-formed UTF-8 sequence replaced by U+FFFD: a document
// written in an 8-bit code page ("K\xFChler") still gives valid UTF-8.
std::string ValidUtf8(std::string_view text);

}  // namespace trelvant
