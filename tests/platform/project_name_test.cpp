#include "platform/project_name.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace trelvant {
namespace {

struct NameCase {
    const char* why;
    std::string name;
    bool portable;
};

class PortableName : public testing::TestWithParam<NameCase> {};

TEST_P(PortableName, IsAcceptedOnlyWhereWindowsKeepsIt)
{
    EXPECT_EQ(IsPortableFileName(GetParam().name), GetParam().portable) << GetParam().name;
    const std::optional<std::string> refusal = NewProjectNameRefusal(GetParam().name);
    if (GetParam().portable) EXPECT_EQ(refusal, std::nullopt);
    else EXPECT_EQ(refusal, "Name project not valid");
}

INSTANTIATE_TEST_SUITE_P(Names, PortableName, testing::Values(
    NameCase{"plain", "Boiler2", true},
    NameCase{"blanks inside and in front", " Boiler 2", true},
    NameCase{"dot inside", "Site.Boiler2", true},
    NameCase{"beyond ASCII", "Caff\xC3\xA8", true},
    NameCase{"device name inside a longer name", "CONSOLE", true},
    NameCase{"device name as an extension", "Boiler.con", true},
    NameCase{"port number above nine", "COM10", true},
    NameCase{"port letters alone", "LPT", true},
    NameCase{"255 bytes", std::string(253, 'a') + "\xC3\xA8", true},
    NameCase{"256 bytes", std::string(254, 'a') + "\xC3\xA8", false},
    NameCase{"300 characters", std::string(300, 'a'), false},
    NameCase{"empty", "", false},
    NameCase{"dot", ".", false},
    NameCase{"dot dot", "..", false},
    NameCase{"slash", "Site/Boiler2", false},
    NameCase{"backslash", "Site\\Boiler2", false},
    NameCase{"drive colon", "C:Boiler2", false},
    NameCase{"star", "Boiler*", false},
    NameCase{"question mark", "Boiler?", false},
    NameCase{"double quote", "\"Boiler\"", false},
    NameCase{"less than", "<Boiler", false},
    NameCase{"greater than", "Boiler>", false},
    NameCase{"bar", "Boiler|2", false},
    NameCase{"tab", "Boiler\t2", false},
    NameCase{"line feed", "Boiler\n", false},
    NameCase{"unit separator", "Boiler\x1F", false},
    NameCase{"nul byte", std::string("Boi\0ler", 7), false},
    NameCase{"trailing dot", "Boiler2.", false},
    NameCase{"trailing blank", "Boiler2 ", false},
    NameCase{"CON", "CON", false},
    NameCase{"con in lower case", "con", false},
    NameCase{"PRN", "PRN", false},
    NameCase{"AUX", "Aux", false},
    NameCase{"NUL with an extension", "NUL.txt", false},
    NameCase{"NUL with two extensions", "nul.tar.gz", false},
    NameCase{"COM1", "COM1", false},
    NameCase{"COM9 with an extension", "com9.xml", false},
    NameCase{"COM0", "COM0", false},
    NameCase{"LPT1", "LPT1", false},
    NameCase{"LPT superscript one", "LPT\xC2\xB9", false},
    NameCase{"COM superscript three with an extension", "COM\xC2\xB3.txt", false},
    NameCase{"device name with a blank before the extension", "CON .txt", false},
    NameCase{"CONIN$", "CONIN$", false},
    NameCase{"CONOUT$", "conout$.log", false}),
    [](const testing::TestParamInfo<NameCase>& info) {
        std::string name;
        for (const char c : std::string(info.param.why)) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

}  // namespace
}  // namespace trelvant
