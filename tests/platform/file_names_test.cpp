#include "platform/file_names.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

namespace trelvant {
namespace {

using test::TempFolder;
using test::WriteText;

TEST(FileNames, FindsAFileWhateverTheCaseOfItsName)
{
    TempFolder dir;
    WriteText(dir / "pargen.xml", "");
    EXPECT_EQ(ResolveFileName(dir / "Pargen.xml"), dir / "pargen.xml");
    EXPECT_EQ(ResolveFileName(dir / "PARGEN.XML"), dir / "pargen.xml");
    EXPECT_TRUE(ExistsAnyCase(dir / "PaRgEn.XmL"));
}

// Two names that differ only in case: every caller meets in the same one, whichever it asks for.
TEST(FileNames, TheFirstInByteOrderWhateverCaseIsAskedFor)
{
    TempFolder dir;
    WriteText(dir / "bankg.c", "");
    WriteText(dir / "BankG.c", "");
    for (const char* asked : {"bankg.c", "BankG.c", "BANKG.C"})
        EXPECT_EQ(ResolveFileName(dir / asked), dir / "BankG.c") << asked;  // "B" sorts before "b"
}

TEST(FileNames, AMissingFileKeepsTheNameItWasGiven)
{
    TempFolder dir;
    EXPECT_EQ(ResolveFileName(dir / "RInfoCob.xml"), dir / "RInfoCob.xml");
    EXPECT_FALSE(ExistsAnyCase(dir / "RInfoCob.xml"));
    EXPECT_EQ(ResolveFileName(dir / "missing-folder" / "a.xml"), dir / "missing-folder" / "a.xml");
}

TEST(FileNames, FindsFoldersToo)
{
    TempFolder dir;
    std::filesystem::create_directory(dir / "Projects");
    EXPECT_EQ(ResolveFileName(dir / "PROJECTS"), dir / "Projects");
}

}  // namespace
}  // namespace trelvant
