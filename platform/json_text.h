#pragma once

#include <string>
#include <string_view>

namespace trelvant {

// text as a JSON string, quotes included: quote, backslash and control characters escaped,
// everything else (UTF-8 as the documents hold it) unchanged.
std::string JsonString(std::string_view text);

}  // namespace trelvant
