#include "platform/file_names.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

namespace trelvant {
namespace {

using test::ReadText;
using test::TempFolder;
using test::WriteText;

std::size_t entriesIn(const std::filesystem::path& folder)
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

TEST(FileNames, FindsAFileWhateverTheCaseOfItsName)
{
    TempFolder dir;
    WriteText(dir / "pargen.xml", "");
    EXPECT_EQ(ResolveFileName(dir / "Pargen.xml"), dir / "pargen.xml");
    EXPECT_EQ(ResolveFileName(dir / "PARGEN.XML"), dir / "pargen.xml");
    EXPECT_TRUE(ExistsAnyCase(dir / "PaRgEn.XmL"));
}

// Two names that differ only in case: every caller meets in the same one, whichever it asks for.
// Where the file system ignores case (Windows) the second write reaches the first file, and
// there is one file, under the name it was made with, for every caller.
TEST(FileNames, TheFirstInByteOrderWhateverCaseIsAskedFor)
{
    TempFolder dir;
    WriteText(dir / "bankg.c", "lower");
    WriteText(dir / "BankG.c", "mixed");
    const bool ignoresCase = entriesIn(dir.path()) == 1;
    const std::filesystem::path chosen = dir / (ignoresCase ? "bankg.c" : "BankG.c");  // "B" sorts before "b"
    for (const char* asked : {"bankg.c", "BankG.c", "BANKG.C"}) {
        EXPECT_EQ(ResolveFileName(dir / asked), chosen) << asked;
        EXPECT_EQ(ReadText(ResolveFileName(dir / asked)), "mixed") << asked;
    }
#ifdef _WIN32
    EXPECT_TRUE(ignoresCase);
#endif
}

struct ShownPath {
    std::filesystem::path path;
    std::string shown;
};

// Messages name a path with the platform's separator, whichever separator it was joined with.
TEST(FileNames, DisplayPathUsesThePlatformsSeparator)
{
#ifdef _WIN32
    const std::vector<ShownPath> cases = {
        {"C:/Projects/Boiler2/pargen.xml", "C:\\Projects\\Boiler2\\pargen.xml"},
        {std::filesystem::path("C:\\Projects") / "Boiler2", "C:\\Projects\\Boiler2"},
        {"//server/share/Boiler2", "\\\\server\\share\\Boiler2"},
        {"D:bin/bank1.bin", "D:bin\\bank1.bin"},
    };
#else
    const std::vector<ShownPath> cases = {
        {"/home/tech/Projects/Boiler2/pargen.xml", "/home/tech/Projects/Boiler2/pargen.xml"},
        {"Site\\Boiler2", "Site\\Boiler2"},  // a backslash is a character of a name here
    };
#endif
    for (const ShownPath& c : cases) EXPECT_EQ(DisplayPath(c.path), c.shown);
}

// A UTF-8 text names the same file on every platform; on Windows a plain std::string would be
// taken in the 8-bit code page and make "Kessel SÃ¼d".
TEST(FileNames, PathFromUtf8KeepsNamesBeyondAscii)
{
    TempFolder dir;
    const std::string name = "Kessel S\xC3\xBC" "d";
    std::filesystem::create_directory(PathFromUtf8(DisplayPath(dir.path()) + "/" + name));
    const std::filesystem::path entry = std::filesystem::directory_iterator(dir.path())->path().filename();
    EXPECT_EQ(DisplayPath(entry), name);
    EXPECT_EQ(entry, std::filesystem::path(u8"Kessel S\u00FCd"));
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
