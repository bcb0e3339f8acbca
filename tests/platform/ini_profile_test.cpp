#include "platform/error.h"
#include "platform/ini_profile.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <string>

namespace trelvant {
namespace {

using test::ReadText;
using test::TempFolder;
using test::WriteText;

struct ReadCase {
    const char* name;
    const char* file;  // nullptr: no file
    const char* value;
};

class IniRead : public testing::TestWithParam<ReadCase> {};

TEST_P(IniRead, FindsTheValue)
{
    TempFolder dir;
    const auto ini = dir / "Trelvant_CAN2MRTUs.ini";
    if (GetParam().file) WriteText(ini, GetParam().file);
    EXPECT_EQ(ReadProfileString(ini, "lastproj", "projectname"), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Cases, IniRead, testing::Values(
    ReadCase{"NoFile", nullptr, ""},
    ReadCase{"EmptyFile", "", ""},
    ReadCase{"Plain", "[lastproj]\nprojectname=\\Boiler2\n", "\\Boiler2"},
    ReadCase{"Crlf", "[lastproj]\r\nprojectname=Boiler2\r\n", "Boiler2"},
    ReadCase{"NoFinalNewline", "[lastproj]\nprojectname=Boiler2", "Boiler2"},
    ReadCase{"NamesIgnoreCase", "[LastProj]\nProjectName=Boiler2\n", "Boiler2"},
    ReadCase{"BlanksAroundNamesAndValue", " [ lastproj ] \n projectname = Boiler 2 \n", "Boiler 2"},
    ReadCase{"EmptyValue", "[lastproj]\nprojectname=\n", ""},
    ReadCase{"KeyInAnotherSection", "[other]\nprojectname=X\n[lastproj]\nname=Y\n", ""},
    ReadCase{"SectionMissing", "[other]\nprojectname=X\n", ""},
    ReadCase{"AmongOtherLines", "; settings\n[a]\nk=v\n[lastproj]\nfoo=1\nprojectname=\\Site\\B=2\n[b]\n", "\\Site\\B=2"}),
    [](const auto& info) { return std::string(info.param.name); });

struct WriteCase {
    const char* name;
    const char* before;  // nullptr: no file
    const char* after;
};

class IniWrite : public testing::TestWithParam<WriteCase> {};

TEST_P(IniWrite, ChangesOnlyItsLine)
{
    TempFolder dir;
    const auto ini = dir / "Trelvant_CAN2MRTUs.ini";
    if (GetParam().before) WriteText(ini, GetParam().before);
    WriteProfileString(ini, "lastproj", "projectname", "\\Boiler2");
    EXPECT_EQ(ReadText(ini), GetParam().after);
    EXPECT_EQ(ReadProfileString(ini, "lastproj", "projectname"), "\\Boiler2");
}

#ifdef _WIN32
constexpr const char* kNewFile = "[lastproj]\r\nprojectname=\\Boiler2\r\n";
#else
constexpr const char* kNewFile = "[lastproj]\nprojectname=\\Boiler2\n";
#endif

INSTANTIATE_TEST_SUITE_P(Cases, IniWrite, testing::Values(
    WriteCase{"CreatesTheFile", nullptr, kNewFile},
    WriteCase{"ReplacesTheValue", "[lastproj]\nprojectname=Old\n", "[lastproj]\nprojectname=\\Boiler2\n"},
    WriteCase{"KeepsEveryOtherLineAsItWas",
              "; kept\r\n[a]\r\nk = v \r\n\r\n[LASTPROJ]\r\nx=1\r\n ProjectName = Old \r\ny=C:\\path\\\r\n[b]\r\nz=2",
              "; kept\r\n[a]\r\nk = v \r\n\r\n[LASTPROJ]\r\nx=1\r\nprojectname=\\Boiler2\r\ny=C:\\path\\\r\n[b]\r\nz=2"},
    WriteCase{"AddsTheKeyToItsSection", "[lastproj]\r\nx=1\r\n\r\n[b]\r\nz=2\r\n",
              "[lastproj]\r\nx=1\r\nprojectname=\\Boiler2\r\n\r\n[b]\r\nz=2\r\n"},
    WriteCase{"AddsTheKeyToAnEmptySectionAtTheEnd", "[a]\nk=v\n[lastproj]",
              "[a]\nk=v\n[lastproj]\nprojectname=\\Boiler2\n"},
    WriteCase{"AddsTheSection", "[a]\r\nk=v", "[a]\r\nk=v\r\n[lastproj]\r\nprojectname=\\Boiler2\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IniWriteFailure, ReportsUnableToWriteAndKeepsTheOldFile)
{
    TempFolder dir;
    const auto ini = dir / "Trelvant_CAN2MRTUs.ini";
    std::filesystem::create_directory(ini);  // a folder where the file should be
    try {
        WriteProfileString(ini, "lastproj", "projectname", "x");
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + ini.string() + ": a folder, not a regular file");
    }
    EXPECT_TRUE(std::filesystem::is_directory(ini));
}

// A name with a line break would add lines of its own to the file, a section among them.
TEST(IniWriteFailure, AValueWithALineBreakIsRefusedAndTheFileKept)
{
    TempFolder dir;
    const auto ini = dir / "Trelvant_CAN2MRTUs.ini";
    const std::string old = "[lastproj]\r\nprojectname=\\Boiler2\r\n";
    WriteText(ini, old);
    for (const char* value : {"/Site\n[other]\nkey=x", "/Site\r[other]", "/Site\r\n"}) {
        try {
            WriteProfileString(ini, "lastproj", "projectname", value);
            ADD_FAILURE() << "written: " << value;
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), "Unable to write to " + ini.string() + ": the value holds a line break");
        }
        EXPECT_EQ(ReadText(ini), old);
    }
}

TEST(IniWriteFailure, AMissingFolderIsReported)
{
    TempFolder dir;
    const auto ini = dir / "gone" / "Trelvant_CAN2MRTUs.ini";
    EXPECT_THROW(WriteProfileString(ini, "lastproj", "projectname", "x"), Error);
}

}  // namespace
}  // namespace trelvant
