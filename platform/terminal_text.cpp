#include "platform/terminal_text.h"

#include <cstdio>

namespace trelvant {
namespace {

struct Character {
    std::size_t length = 1;
    std::uint32_t codePoint = 0;
    bool wellFormed = false;  // a whole UTF-8 sequence, not a stray or a cut one
};

// The character that starts at text[at]: a well-formed UTF-8 sequence (no overlong form, no
// surrogate, nothing above U+10FFFF), or the single byte.
Character characterAt(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) return {1, lead, true};
    std::size_t length = 0;
    std::uint32_t value = 0;
    std::uint32_t least = 0;
    if ((lead & 0xE0) == 0xC0) length = 2, value = lead & 0x1F, least = 0x80;
    else if ((lead & 0xF0) == 0xE0) length = 3, value = lead & 0x0F, least = 0x800;
    else if ((lead & 0xF8) == 0xF0) length = 4, value = lead & 0x07, least = 0x10000;
    else return {1, lead, false};
    if (at + length > text.size()) return {1, lead, false};
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return {1, lead, false};
        value = value << 6 | (byte(at + i) & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return {1, lead, false};
    return {length, value, true};
}

bool bidiControl(std::uint32_t c)
{
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

bool unsafe(const Character& c)
{
    if (!c.wellFormed) return true;
    const std::uint32_t v = c.codePoint;
    return (v < 0x20 && v != '\t' && v != '\n') || v == 0x7F || (v >= 0x80 && v <= 0x9F) || bidiControl(v);
}

std::string escaped(const Character& c, unsigned char firstByte)
{
    char text[16];
    if (!c.wellFormed || c.codePoint < 0x80) std::snprintf(text, sizeof text, "\\x%02X", firstByte);
    else std::snprintf(text, sizeof text, "\\u%04X", static_cast<unsigned>(c.codePoint));
    return text;
}

template <typename Replace>
std::string rewritten(std::string_view text, Replace replace)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const Character c = characterAt(text, at);
        if (unsafe(c)) out += replace(c, static_cast<unsigned char>(text[at]));
        else out.append(text.substr(at, c.length));
        at += c.length;
    }
    return out;
}

// Where an unfinished UTF-8 sequence at the end of text starts; text.size() when there is none.
std::size_t unfinishedTail(std::string_view text)
{
    const std::size_t size = text.size();
    for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
        const auto b = static_cast<unsigned char>(text[size - back]);
        if ((b & 0xC0) == 0x80) continue;  // a continuation byte: look further back
        const std::size_t wanted = (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 1;
        return wanted > back ? size - back : size;
    }
    return size;
}

}  // namespace

std::string TerminalText(std::string_view text)
{
    return rewritten(text, escaped);
}

std::string TerminalTextReplaced(std::string_view text, char replacement)
{
    return rewritten(text, [replacement](const Character&, unsigned char) { return std::string(1, replacement); });
}

TerminalTextBuffer::~TerminalTextBuffer()
{
    pass(true);
    target_->pubsync();
}

bool TerminalTextBuffer::pass(bool all)
{
    const std::size_t end = all ? pending_.size() : unfinishedTail(pending_);
    if (end == 0) return true;
    const std::string text = TerminalText(std::string_view(pending_).substr(0, end));
    pending_.erase(0, end);
    return target_->sputn(text.data(), static_cast<std::streamsize>(text.size())) ==
           static_cast<std::streamsize>(text.size());
}

TerminalTextBuffer::int_type TerminalTextBuffer::overflow(int_type c)
{
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char ch = traits_type::to_char_type(c);
    pending_ += ch;
    if (ch == '\n' && !pass(false)) return traits_type::eof();
    return c;
}

std::streamsize TerminalTextBuffer::xsputn(const char* s, std::streamsize n)
{
    pending_.append(s, static_cast<std::size_t>(n));
    if (pending_.find('\n') != std::string::npos && !pass(false)) return 0;
    return n;
}

int TerminalTextBuffer::sync()
{
    if (!pass(false)) return -1;
    return target_->pubsync();
}

TerminalTextStream::TerminalTextStream(std::ostream& stream)
    : stream_(stream), original_(stream.rdbuf()), buffer_(original_)
{
    stream_.rdbuf(&buffer_);
}

TerminalTextStream::~TerminalTextStream()
{
    stream_.flush();
    stream_.rdbuf(original_);
}

}  // namespace trelvant
