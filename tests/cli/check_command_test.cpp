#include "documents/pargen_document.h"
#include "platform/json_text.h"
#include "tests/cli/run_tool.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>

namespace trelvant {
namespace {

using test::RunTool;
using test::TempFolder;
using test::WriteText;

// A small project in the J1939 layout without problems; the time-out register is 1.
struct CheckedProject {
    TempFolder folder;
    CheckedProject()
    {
        WritePargen(folder / "pargen.xml", PargenValues{});
        WriteText(folder / "RCobDef.xml", "<COBID><row PGN=\"0xFECA\" ID_DEV=\"0x21\" Delete=\"N\"/></COBID>");
        WriteText(folder / "TCobDef.xml", "<COBID><row Priority=\"6\" DP=\"0\" PGN=\"0xFEF1\" ID_DEV=\"0\"/></COBID>");
        WriteText(folder / "RInfoCob.xml", "<RInfoCob><row Index=\"3\" NrPdo=\"1\" PosComp=\"8\"/></RInfoCob>");
        WriteText(folder / "TInfoCob.xml", "<TInfoCob><row Index=\"7\" NrPdo=\"1\" PosComp=\"18\" Write_J1939=\"0\"/></TInfoCob>");
    }
    std::string path() const { return folder.path().string(); }
    std::set<std::filesystem::path> entries() const
    {
        std::set<std::filesystem::path> found;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder.path())) found.insert(entry.path());
        return found;
    }
};

// Whether text is one JSON value (RFC 8259) and nothing else but blanks, its strings UTF-8.
class JsonValidator {
public:
    static bool valid(std::string_view text)
    {
        JsonValidator v{text};
        return v.value() && (v.blanks(), v.at_ == text.size());
    }

private:
    explicit JsonValidator(std::string_view text) : text_(text) {}

    bool more() const { return at_ < text_.size(); }
    char next() const { return more() ? text_[at_] : '\0'; }
    void blanks()
    {
        while (more() && std::string_view(" \t\r\n").find(next()) != std::string_view::npos) ++at_;
    }
    bool take(char c)
    {
        blanks();
        if (next() != c) return false;
        ++at_;
        return true;
    }
    bool word(std::string_view w)
    {
        if (!text_.substr(at_).starts_with(w)) return false;
        at_ += w.size();
        return true;
    }

    bool value()
    {
        blanks();
        switch (next()) {
        case '{': return members('}', true);
        case '[': return members(']', false);
        case '"': return string();
        case 't': return word("true");
        case 'f': return word("false");
        case 'n': return word("null");
        default: return number();
        }
    }

    // An object's members or an array's items up to close.
    bool members(char close, bool named)
    {
        ++at_;
        if (take(close)) return true;
        do {
            if (named && !(blanks(), string() && take(':'))) return false;
            if (!value()) return false;
        } while (take(','));
        return take(close);
    }

    bool number()
    {
        const std::size_t start = at_;
        word("-");
        if (!std::isdigit(static_cast<unsigned char>(next()))) return false;
        if (!word("0"))
            while (std::isdigit(static_cast<unsigned char>(next()))) ++at_;
        return at_ > start;
    }

    bool string()
    {
        if (next() != '"') return false;
        ++at_;
        while (more()) {
            const auto c = static_cast<unsigned char>(text_[at_]);
            if (c == '"') return ++at_, true;
            if (c < 0x20) return false;
            if (c == '\\') {
                ++at_;
                if (word("u")) {
                    for (int i = 0; i < 4; ++i, ++at_)
                        if (!std::isxdigit(static_cast<unsigned char>(next()))) return false;
                } else if (std::string_view("\"\\/bfnrt").find(next()) == std::string_view::npos || !more()) {
                    return false;
                } else {
                    ++at_;
                }
                continue;
            }
            // A UTF-8 sequence: its lead byte, then 10xxxxxx bytes; no overlong form, surrogate
            // or code point above U+10FFFF.
            const std::size_t length = c < 0x80 ? 1 : c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3
                                                                                : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
            if (length == 0 || at_ + length > text_.size()) return false;
            for (std::size_t i = 1; i < length; ++i)
                if ((static_cast<unsigned char>(text_[at_ + i]) & 0xC0) != 0x80) return false;
            const auto second = static_cast<unsigned char>(text_[at_ + 1]);
            if ((c == 0xE0 && second < 0xA0) || (c == 0xED && second > 0x9F) || (c == 0xF0 && second < 0x90) ||
                (c == 0xF4 && second > 0x8F))
                return false;
            at_ += length;
        }
        return false;
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

TEST(CliCheck, TheJsonValidatorOfTheseTests)
{
    for (const char* valid : {"{}", "[]", "{\"a\": [1, -20, true, false, null, \"\\u00fc\\n\"]}", "\"K\xC3\xBChler\""})
        EXPECT_TRUE(JsonValidator::valid(valid)) << valid;
    for (const char* invalid : {"", "{", "{\"a\" 1}", "[1,]", "\"K\xFChler\"", "\"\xC0\xAF\"", "\"a\tb\"", "{} {}", "01"})
        EXPECT_FALSE(JsonValidator::valid(invalid)) << invalid;
}

TEST(CliCheck, ACleanProjectSaysSoAndEndsWithZero)
{
    CheckedProject project;
    const test::ToolRun run = RunTool({"check", project.path()});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "No problems found\n");
    EXPECT_EQ(run.err, "");
}

TEST(CliCheck, TheExampleProjectIsClean)
{
    const test::ToolRun run = RunTool({"check", TRELVANT_EXAMPLE_PROJECT});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "No problems found\n");
}

TEST(CliCheck, ErrorsEndWithOneAndEveryFindingHasItsLine)
{
    CheckedProject project;
    WriteText(project.folder / "RInfoCob.xml",
              "<RInfoCob><row Index=\"1\" NrPdo=\"1\" PosComp=\"8\"/><row Index=\"70000\" NrPdo=\"2\" PosComp=\"1\"/></RInfoCob>");
    const auto before = project.entries();
    const test::ToolRun run = RunTool({"check", project.path()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out,
              "RInfoCob.xml, row 1: error: Modbus index 1 is also the register \"TO_ModReg\" of pargen.xml\n"
              "RInfoCob.xml, row 2: error: Modbus index 70000 is cut to 4464 (field of 16 bits)\n"
              "RInfoCob.xml, row 2: warning: frame number 2 is past the 1 frames the editor reads from RCobDef.xml: it "
              "drops the row, the builder stores it\n"
              "2 errors, 1 warning\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(project.entries(), before);  // the check writes nothing
}

TEST(CliCheck, WarningsAloneEndWithZero)
{
    CheckedProject project;
    WriteText(project.folder / "TInfoCob.xml",
              "<TInfoCob><row Index=\"7\" NrPdo=\"1\" PosComp=\"18\" Write_J1939=\"1\"/></TInfoCob>");
    const test::ToolRun run = RunTool({"check", project.path()});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out,
              "TInfoCob.xml, row 1: warning: Write J1939 flag 1 while pargen.xml disables writing J1939 frames\n"
              "1 warning\n");
}

TEST(CliCheck, JsonHoldsEachFindingAndTheCounts)
{
    CheckedProject project;
    WriteText(project.folder / "pargen.xml",
              "<GeneralParameter><BaudRateCAN>5</BaudRateCAN><CANType>1</CANType><Baud_Ser>3</Baud_Ser>"
              "<Par_Ser>0</Par_Ser><TimeOut_Ser>1000</TimeOut_Ser></GeneralParameter>");
    WriteText(project.folder / "TInfoCob.xml",
              "<TInfoCob><row Index=\"7\" NrPdo=\"1\" PosComp=\"18\" Write_J1939=\"1\"/></TInfoCob>");
    const test::ToolRun run = RunTool({"check", project.path(), "--json"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out,
              "{\n"
              "  \"findings\": [\n"
              "    {\"document\": \"pargen.xml\", \"row\": null, \"attribute\": \"IDDev_Ser\", \"severity\": \"error\", "
              "\"code\": \"missing\", \"message\": \"element \\\"IDDev_Ser\\\" is missing or holds no text\"},\n"
              "    {\"document\": \"TInfoCob.xml\", \"row\": 1, \"attribute\": \"Write_J1939\", \"severity\": \"warning\", "
              "\"code\": \"write-disabled\", \"message\": \"Write J1939 flag 1 while pargen.xml disables writing J1939 "
              "frames\"}\n"
              "  ],\n"
              "  \"counts\": {\"errors\": 1, \"warnings\": 1}\n"
              "}\n");
    EXPECT_EQ(run.err, "");

    const test::ToolRun clean = RunTool({"check", CheckedProject().path(), "--json"});
    EXPECT_EQ(clean.exitCode, 0);
    EXPECT_EQ(clean.out, "{\n  \"findings\": [],\n  \"counts\": {\"errors\": 0, \"warnings\": 0}\n}\n");
}

// A document written in an 8-bit code page ("K\xFChler" in Latin-1): JSON all the same, each
// byte that is not UTF-8 given as U+FFFD; the lines of text show such a byte as an escape, since a
// terminal of an 8-bit code page takes 0x9B for a control sequence.
TEST(CliCheck, JsonIsJsonWhateverTheDocumentsHold)
{
    CheckedProject project;
    WriteText(project.folder / "RCobDef.xml",
              "<COBID><row PGN=\"K\xFChler\" ID_DEV=\"0x21\" Delete=\"N\" Mnemonic=\"K\xFChler \xE4\x80\"/>"
              "<row PGN=\"\xE2\x82\xAC\xC3\" ID_DEV=\"1\"/></COBID>");
    const test::ToolRun run = RunTool({"check", project.path(), "--json"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(JsonValidator::valid(run.out)) << run.out;
    EXPECT_NE(run.out.find("'K\xEF\xBF\xBDhler' is not a valid integer value"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("'\xE2\x82\xAC\xEF\xBF\xBD' is not a valid integer value"), std::string::npos) << run.out;
    const test::ToolRun text = RunTool({"check", project.path()});
    EXPECT_NE(text.out.find("'K\\xFChler' is not a valid integer value"), std::string::npos) << text.out;
}

// A refused check still writes one JSON object with --json; the message and the usage go to
// standard error as without it.
TEST(CliCheck, ARefusalIsJsonToo)
{
    TempFolder folder;
    WriteText(folder / "file", "");
    for (const std::string& project : {(folder / "nowhere").string(), (folder / "file").string()}) {
        SCOPED_TRACE(project);
        const test::ToolRun plain = RunTool({"check", project});
        const test::ToolRun json = RunTool({"check", "--json", project});
        EXPECT_EQ(json.exitCode, 2);
        EXPECT_EQ(json.err, plain.err);
        EXPECT_EQ(plain.out, "");
        const std::string message = plain.err.substr(0, plain.err.find('\n'));
        EXPECT_TRUE(message.starts_with("PROJECT: Directory ")) << message;
        EXPECT_NE(plain.err.find("Usage: trelvant-cli check"), std::string::npos) << plain.err;
        EXPECT_EQ(json.out, "{\n  \"error\": " + JsonString(message) + "\n}\n");
        EXPECT_TRUE(JsonValidator::valid(json.out)) << json.out;
    }
}

TEST(CliCheck, ADocumentThatDoesNotParseIsAnError)
{
    CheckedProject project;
    WriteText(project.folder / "TCobDef.xml", "<COBID><row PGN=\"1\"\t/>\n");
    const test::ToolRun run = RunTool({"check", project.path(), "--json"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.out.find("{\"document\": \"TCobDef.xml\", \"row\": null, \"attribute\": null, \"severity\": "
                           "\"error\", \"code\": \"unreadable\", \"message\": \"Start-end tags mismatch at offset"),
              std::string::npos)
        << run.out;
}

}  // namespace
}  // namespace trelvant
