#include "documents/error.h"
#include "platform/atomic_file.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <string>

#ifdef __linux__
#include <csignal>
#include <sys/resource.h>
#endif

namespace trelvant {
namespace {

using test::ReadText;
using test::TempFolder;
using test::WriteText;

std::size_t entriesIn(const std::filesystem::path& folder)
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

TEST(AtomicFile, ReplacesTheFileAndLeavesNothingElse)
{
    TempFolder dir;
    WriteText(dir / "bank1.bin", "old");
    WriteFileAtomically(dir / "bank1.bin", std::string("new\0bytes", 9));
    EXPECT_EQ(ReadText(dir / "bank1.bin"), std::string("new\0bytes", 9));
    EXPECT_EQ(entriesIn(dir.path()), 1u);
}

TEST(AtomicFile, ReplacesTheFileWhateverTheCaseOfItsName)
{
    TempFolder dir;
    WriteText(dir / "pargen.xml", "old");
    WriteFileAtomically(dir / "Pargen.xml", "new");
    EXPECT_EQ(ReadText(dir / "pargen.xml"), "new");
    EXPECT_EQ(entriesIn(dir.path()), 1u);
}

TEST(AtomicFile, AFolderInTheWayIsReportedAndKept)
{
    TempFolder dir;
    std::filesystem::create_directory(dir / "Trelvant_CAN2MRTUs.ini");
    const std::string target = (dir / "Trelvant_CAN2MRTUs.ini").string();
    try {
        WriteFileAtomically(target, "x");
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + target);
    }
    EXPECT_TRUE(std::filesystem::is_directory(target));
    EXPECT_EQ(entriesIn(dir.path()), 1u);
}

TEST(AtomicFile, AMissingFolderIsReported)
{
    TempFolder dir;
    EXPECT_THROW(WriteFileAtomically(dir / "no-such-folder" / "a.bin", "x"), Error);
}

#ifdef __linux__
// The disk fills up half way through the write: the old file must survive whole.
TEST(AtomicFile, AWriteThatFailsHalfWayKeepsTheOldFile)
{
    TempFolder dir;
    const std::string old(1000, 'o');
    WriteText(dir / "RCobDef.xml", old);

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);

    bool threw = false;
    try {
        WriteFileAtomically(dir / "RCobDef.xml", std::string(64 * 1024, 'n'));
    } catch (const Error&) {
        threw = true;
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_TRUE(threw);
    EXPECT_EQ(ReadText(dir / "RCobDef.xml"), old);
    EXPECT_EQ(entriesIn(dir.path()), 1u);
}
#endif

TEST(ReadWholeFile, ReadsBytesAndRefusesMissingFilesAndFolders)
{
    TempFolder dir;
    WriteText(dir / "TInfoCob.xml", std::string("a\r\n\0b", 5));
    EXPECT_EQ(ReadWholeFile(dir / "tinfocob.XML"), std::string("a\r\n\0b", 5));
    EXPECT_THROW(ReadWholeFile(dir / "missing.xml"), Error);
    EXPECT_THROW(ReadWholeFile(dir.path()), Error);
}

}  // namespace
}  // namespace trelvant
