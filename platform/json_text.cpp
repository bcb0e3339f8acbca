#include "platform/json_text.h"

namespace trelvant {
namespace {

// The length of the well-formed UTF-8 sequence at the start of text, or 0 when it starts with
// none: a lead byte and its continuation bytes, no overlong form, no surrogate, nothing above
// U+10FFFF.
std::size_t sequenceLength(std::string_view text)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4;
    else return 0;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
    for (std::size_t i = 1; i < length; ++i) {
        if (i >= text.size()) return 0;
        const unsigned char b = byte(i);
        if (i == 1 ? (b < low || b > high) : (b < 0x80 || b > 0xBF)) return 0;
    }
    return length;
}

}  // namespace


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

std::string ValidUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        if (const std::size_t length = sequenceLength(text.substr(at))) {
            out.append(text.substr(at, length));
            at += length;
        } else {
            out += "\xEF\xBF\xBD";
            at += 1;
        }
    }
    return out;
}

}  // namespace trelvant
