#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>

namespace trelvant {

// Text shown on a terminal reaches it without anything the terminal would act on: C0 controls
// but tab and line feed, DEL and bytes that start no well-formed UTF-8 sequence become "\xNN";
// C1 controls (U+0080 to U+009F, CSI among them) and the bidirectional controls that reorder
// what follows them (U+061C, U+200E, U+200F, U+202A to U+202E, U+2066 to U+2069) become "\uXXXX".
// Everything else, UTF-8 text included, is unchanged.
std::string TerminalText(std::string_view text);

// The same characters, each replaced by one replacement character, for text aligned in columns.
std::string TerminalTextReplaced(std::string_view text, char replacement);

// A stream buffer that passes what is written on to another one as TerminalText, a line at a
// time (and on flush), so that a character split across two writes is judged whole.
class TerminalTextBuffer : public std::streambuf {
public:
    explicit TerminalTextBuffer(std::streambuf* target) : target_(target) {}
    ~TerminalTextBuffer() override;
    TerminalTextBuffer(const TerminalTextBuffer&) = delete;
    TerminalTextBuffer& operator=(const TerminalTextBuffer&) = delete;

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int sync() override;

private:
    // Passes on the pending text but an unfinished UTF-8 sequence at its end, unless all is asked.
    bool pass(bool all);

    std::streambuf* target_;
    std::string pending_;
};

// Puts a TerminalTextBuffer in front of a stream for its lifetime.
class TerminalTextStream {
public:
    explicit TerminalTextStream(std::ostream& stream);
    ~TerminalTextStream();
    TerminalTextStream(const TerminalTextStream&) = delete;
    TerminalTextStream& operator=(const TerminalTextStream&) = delete;

private:
    std::ostream& stream_;
    std::streambuf* original_;
    TerminalTextBuffer buffer_;
};

}  // namespace trelvant
