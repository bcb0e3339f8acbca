#include "platform/json_text.h"

namespace trelvant {

std::string JsonString(std::string_view text)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (byte < 0x20) out += std::string("\\u00") + kDigits[byte >> 4] + kDigits[byte & 0x0F];
            else out += c;
        }
    }
    return out + "\"";
}

}  // namespace trelvant
