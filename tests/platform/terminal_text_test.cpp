#include "platform/terminal_text.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace trelvant {
namespace {

TEST(TerminalText, ShowsWhatATerminalWouldActOnAsEscapes)
{
    struct Case {
        std::string text;
        std::string shown;
    };
    const std::vector<Case> cases = {
        {"Oil temperature\tB1\n", "Oil temperature\tB1\n"},
        {"\x1B]0;owned\x07title", "\\x1B]0;owned\\x07title"},
        {"line\rover", "line\\x0Dover"},
        {std::string("cut\0here", 8), "cut\\x00here"},
        {"\x7F", "\\x7F"},
        {"\xC2\x9B" "2J", "\\u009B2J"},
        {"abc\xE2\x80\xAE" "fed", "abc\\u202Efed"},
        {"\xE2\x81\xA6x\xE2\x81\xA9", "\\u2066x\\u2069"},
        {"\xD8\x9C", "\\u061C"},
        {"\xC3\x96ltemperatur \xE2\x82\xAC \xF0\x9F\x94\xA5", "\xC3\x96ltemperatur \xE2\x82\xAC \xF0\x9F\x94\xA5"},
        {"K\xFChler", "K\\xFChler"},
        {"\x9B" "31m", "\\x9B31m"},
        {"\xC0\xAF", "\\xC0\\xAF"},          // an overlong slash
        {"\xED\xA0\x80", "\\xED\\xA0\\x80"},  // a surrogate
        {"\xE2\x80", "\\xE2\\x80"},          // cut short
    };
    for (const Case& c : cases) EXPECT_EQ(TerminalText(c.text), c.shown) << c.shown;
    EXPECT_EQ(TerminalTextReplaced("a\x1B[2J\xE2\x80\xAE\xC3\x96", '?'), "a?[2J?\xC3\x96");
}

// A character written in two pieces is judged whole, and nothing is held back past a flush.
TEST(TerminalText, AStreamPassesTextOnWhole)
{
    std::ostringstream sink;
    {
        std::ostream out(sink.rdbuf());
        TerminalTextStream filtered(out);
        out << "Mnemonic \xE2\x80";
        out << "\xAE" << "x\x1B[31m\n";
        out << "\xC3";
        out << "\x96l" << std::flush;
        EXPECT_EQ(sink.str(), "Mnemonic \\u202Ex\\x1B[31m\n\xC3\x96l");
        out << "tail \xE2";
    }
    EXPECT_EQ(sink.str(), "Mnemonic \\u202Ex\\x1B[31m\n\xC3\x96ltail \\xE2");
}

}  // namespace
}  // namespace trelvant
