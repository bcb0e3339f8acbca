#include "platform/atomic_file.h"
#include "platform/error.h"
#include "platform/file_names.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <vector>

#ifdef __linux__
#include <sys/resource.h>
#include <sys/stat.h>
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

TEST(AtomicFile, AProjectFileIsReplacedWhateverTheCaseOfItsName)
{
    TempFolder dir;
    WriteText(dir / "pargen.xml", "old");
    WriteFileAtomically(dir / "Pargen.xml", "new", ProjectFile(dir.path()));
    EXPECT_EQ(ReadText(dir / "pargen.xml"), "new");
    EXPECT_EQ(entriesIn(dir.path()), 1u);
}

#ifndef _WIN32  // a file system that ignores case has one file for both names
// A file the user names is that file: another whose name differs in case is no output of ours.
TEST(AtomicFile, AFileTheUserNamesIsThatFileExactly)
{
    TempFolder dir;
    WriteText(dir / "b.log", "recorded");
    WriteText(dir / "RUN.CSV", "kept");
    WriteFileAtomically(dir / "B.LOG", "timeline");
    WriteFileAtomically(dir / "run.csv", "timeline");
    EXPECT_EQ(ReadText(dir / "b.log"), "recorded");
    EXPECT_EQ(ReadText(dir / "RUN.CSV"), "kept");
    EXPECT_EQ(ReadText(dir / "B.LOG"), "timeline");
    EXPECT_EQ(ReadText(dir / "run.csv"), "timeline");
    EXPECT_EQ(entriesIn(dir.path()), 4u);
}
#endif

TEST(AtomicFile, AFolderInTheWayIsReportedAndKept)
{
    TempFolder dir;
    std::filesystem::create_directory(dir / "Trelvant_CAN2MRTUs.ini");
    const std::string target = (dir / "Trelvant_CAN2MRTUs.ini").string();
    try {
        WriteFileAtomically(target, "x");
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + target + ": a folder, not a regular file");
    }
    EXPECT_TRUE(std::filesystem::is_directory(target));
    EXPECT_EQ(entriesIn(dir.path()), 1u);
}

TEST(SyncFolder, FlushesAFolderAndTellsWhyNotForAMissingOne)
{
    TempFolder dir;
    EXPECT_TRUE(SyncFolder(dir.path()));
#ifndef _WIN32  // Windows has no folder to flush
    errno = 0;
    EXPECT_FALSE(SyncFolder(dir / "no-such-folder"));
    EXPECT_EQ(errno, ENOENT);
#endif
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

#ifdef __linux__
TEST(AtomicFile, WritesThroughASymbolicLinkAndKeepsTheLink)
{
    TempFolder dir;
    std::filesystem::create_directory(dir / "shared");
    WriteText(dir / "shared" / "pargen.xml", "old");
    std::filesystem::create_symlink("shared/pargen.xml", dir / "pargen.xml");

    WriteFileAtomically(dir / "Pargen.xml", "new", ProjectFile(dir.path()));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "pargen.xml"));
    EXPECT_EQ(ReadText(dir / "shared" / "pargen.xml"), "new");
    EXPECT_EQ(entriesIn(dir.path()), 2u);
    EXPECT_EQ(entriesIn(dir / "shared"), 1u);

    // A link to nothing yet: the file it names is made.
    std::filesystem::create_symlink("shared/RCobDef.xml", dir / "RCobDef.xml");
    WriteFileAtomically(dir / "RCobDef.xml", "rows", ProjectFile(dir.path()));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "RCobDef.xml"));
    EXPECT_EQ(ReadText(dir / "shared" / "RCobDef.xml"), "rows");
}

// A project received from someone else writes nothing beyond its folder, whatever its links say.
TEST(AtomicFile, AProjectFileIsNotWrittenThroughALinkOutOfTheProject)
{
    TempFolder dir;
    const std::filesystem::path project = dir / "Boiler2";
    std::filesystem::create_directories(project / "bin");
    std::filesystem::create_directory(dir / "elsewhere");
    WriteText(dir / "elsewhere" / "victim", "theirs");
    std::filesystem::create_symlink("../../elsewhere/victim", project / "bin" / "bank1.bin");
    std::filesystem::create_symlink("../elsewhere/new.csv", project / "rpdodef.csv");
    std::filesystem::create_symlink(dir / "elsewhere", project / "linked");
    std::filesystem::create_symlink("pargen.xml", project / "Pargen.xml");

    struct Case {
        std::filesystem::path target;
        std::string leadsTo;
    };
    const std::vector<Case> refused = {
        {project / "bin" / "bank1.bin", "elsewhere/victim"},
        {project / "rpdodef.csv", "elsewhere/new.csv"},
        {project / "linked" / "bank2.bin", "elsewhere/bank2.bin"},
    };
    const std::filesystem::path real = std::filesystem::canonical(dir.path());
    for (const Case& c : refused) {
        try {
            WriteFileAtomically(c.target, "bank", ProjectFile(project));
            ADD_FAILURE() << c.target << " written";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), "Unable to write to " + c.target.string() + ": it leads to " +
                                                 (real / c.leadsTo).string() + ", outside the project folder " +
                                                 (real / "Boiler2").string());
        }
    }
    EXPECT_EQ(ReadText(dir / "elsewhere" / "victim"), "theirs");
    EXPECT_EQ(entriesIn(dir / "elsewhere"), 1u);

    // A link inside the project is written through; a user-named file follows its links anywhere.
    WriteFileAtomically(project / "Pargen.xml", "inside", ProjectFile(project));
    EXPECT_EQ(ReadText(project / "pargen.xml"), "inside");
    WriteFileAtomically(project / "bin" / "bank1.bin", "named", {});
    EXPECT_EQ(ReadText(dir / "elsewhere" / "victim"), "named");
}

// /dev/stdout on a pipe is a link that names no file; what it reaches is told.
TEST(AtomicFile, ATargetThatIsNoRegularFileIsRefusedAsSuch)
{
    TempFolder dir;
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    std::filesystem::create_symlink(dir / "pipe", dir / "map.html");
    for (const char* name : {"pipe", "map.html"}) {
        try {
            WriteFileAtomically(dir / name, "x");
            ADD_FAILURE() << name << " written";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), "Unable to write to " + (dir / name).string() + ": a FIFO, not a regular file");
        }
    }
    EXPECT_EQ(entriesIn(dir.path()), 2u);
}

TEST(AtomicFile, ALinkThatLoopsIsRefused)
{
    TempFolder dir;
    std::filesystem::create_symlink("b.xml", dir / "a.xml");
    std::filesystem::create_symlink("a.xml", dir / "b.xml");
    try {
        WriteFileAtomically(dir / "a.xml", "x");
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + (dir / "a.xml").string() + ": " + SystemReason(ELOOP));
    }
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "a.xml"));
    EXPECT_EQ(entriesIn(dir.path()), 2u);
}

TEST(AtomicFile, AReplacedFileKeepsItsPermissions)
{
    TempFolder dir;
    WriteText(dir / "bank1.bin", "old");
    using std::filesystem::perms;
    const perms mode = perms::owner_read | perms::owner_write | perms::group_read;
    std::filesystem::permissions(dir / "bank1.bin", mode);
    WriteFileAtomically(dir / "bank1.bin", "new");
    EXPECT_EQ(std::filesystem::status(dir / "bank1.bin").permissions() & perms::mask, mode);
}
#endif

// On Windows the read-only attribute.
TEST(AtomicFile, AWriteProtectedFileIsRefusedAndKept)
{
    TempFolder dir;
    WriteText(dir / "bankg.c", "old");
    using std::filesystem::perms;
    std::filesystem::permissions(dir / "bankg.c", perms::owner_read | perms::group_read | perms::others_read);
    try {
        WriteFileAtomically(dir / "bankg.c", "new");
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + DisplayPath(dir / "bankg.c") + ": the file is write-protected");
    }
    EXPECT_EQ(ReadText(dir / "bankg.c"), "old");
    EXPECT_EQ(entriesIn(dir.path()), 1u);
    // Windows removes no read-only file: the folder's removal needs it writable again.
    std::filesystem::permissions(dir / "bankg.c", perms::owner_all);
}

// Another program holds the file open (a viewer, a virus scanner). Linux replaces it: the holder
// keeps reading the old bytes. Windows cannot replace a file open without delete sharing, as
// the C library opens it: after a few tries the write fails, naming the file and the reason,
// and the old file stays whole with no temporary beside it.
TEST(AtomicFile, AFileOpenInAnotherProgram)
{
    TempFolder dir;
    WriteText(dir / "bank1.bin", "old");
    std::FILE* holder = OpenFile(dir / "bank1.bin", "rb");
    ASSERT_NE(holder, nullptr);
#ifdef _WIN32
    try {
        WriteFileAtomically(dir / "bank1.bin", "new");
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Unable to write to " + DisplayPath(dir / "bank1.bin") + ": the file is in use by another program");
    }
    std::fclose(holder);
    EXPECT_EQ(ReadText(dir / "bank1.bin"), "old");
#else
    WriteFileAtomically(dir / "bank1.bin", "new");
    char held[4] = {};
    EXPECT_EQ(std::fread(held, 1, 3, holder), 3u);
    std::fclose(holder);
    EXPECT_EQ(std::string(held), "old");
    EXPECT_EQ(ReadText(dir / "bank1.bin"), "new");
#endif
    EXPECT_EQ(entriesIn(dir.path()), 1u);
    // Once the holder lets go, the next write replaces it everywhere.
    WriteFileAtomically(dir / "bank1.bin", "newer");
    EXPECT_EQ(ReadText(dir / "bank1.bin"), "newer");
}

// A run killed between the temporary and the rename left files of the writer's pattern behind.
TEST(AtomicFile, TheNextWriteRemovesTemporariesThatAKilledRunLeft)
{
    TempFolder dir;
    WriteText(dir / "bank1.bin.trelvant-0123456789abcdef.tmp", "stale");
    WriteText(dir / "bank1.bin.trelvant-fedcba9876543210.tmp", "stale");
    WriteText(dir / "bank2.bin.trelvant-0123456789abcdef.tmp", "another file's");
    WriteText(dir / "bank1.bin.trelvant-notatemporary.tmp", "the user's");
    WriteText(dir / "bank1.bin.tmp", "the user's");
    WriteFileAtomically(dir / "bank1.bin", "new");
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) left.push_back(entry.path().filename().string());
    std::ranges::sort(left);
    EXPECT_EQ(left, (std::vector<std::string>{"bank1.bin", "bank1.bin.tmp", "bank1.bin.trelvant-notatemporary.tmp",
                                              "bank2.bin.trelvant-0123456789abcdef.tmp"}));
}

// A second writer of the same file removes only what no live writer holds.
TEST(AtomicFile, AnotherRunsLiveTemporaryIsNotRemoved)
{
    TempFolder dir;
    AtomicOutputFile sendLog(dir / "send.log");
    sendLog.append("frames of a long run");
    WriteText(dir / "send.log.trelvant-0123456789abcdef.tmp", "stale");
    WriteFileAtomically(dir / "send.log", "a second run");
    EXPECT_FALSE(std::filesystem::exists(dir / "send.log.trelvant-0123456789abcdef.tmp"));
    EXPECT_EQ(entriesIn(dir.path()), 2u) << "the file and the live temporary";
    ASSERT_TRUE(sendLog.commit()) << sendLog.failureMessage();
    EXPECT_EQ(ReadText(dir / "send.log"), "frames of a long run");
    EXPECT_EQ(entriesIn(dir.path()), 1u);
}

#ifdef __linux__
// Past the file size limit the system sends SIGXFSZ, whose default ends the program.
TEST(AtomicFileDeathTest, AWritePastTheFileSizeLimitFailsInsteadOfEndingTheProgram)
{
    TempFolder dir;
    WriteText(dir / "bankg.c", "old");
    EXPECT_EXIT(
        {
            std::signal(SIGXFSZ, SIG_DFL);
            rlimit small{};
            getrlimit(RLIMIT_FSIZE, &small);
            small.rlim_cur = 4096;
            setrlimit(RLIMIT_FSIZE, &small);
            try {
                WriteFileAtomically(dir / "bankg.c", std::string(64 * 1024, 'n'));
            } catch (const Error& e) {
                const bool named = std::string(e.what()) ==
                                   "Unable to write to " + (dir / "bankg.c").string() + ": " + SystemReason(EFBIG);
                std::exit(named && ReadText(dir / "bankg.c") == "old" && entriesIn(dir.path()) == 1 ? 0 : 3);
            }
            std::exit(4);
        },
        testing::ExitedWithCode(0), "");
}
#endif

TEST(ReadWholeFile, RefusesAFileLargerThanItsLimitBeforeReadingIt)
{
    TempFolder dir;
    WriteText(dir / "RInfoCob.xml", std::string(11, 'x'));
    EXPECT_EQ(ReadWholeFile(dir / "RInfoCob.xml", 11), std::string(11, 'x'));
    try {
        ReadWholeFile(dir / "RInfoCob.xml", 10);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Unable to read " + (dir / "RInfoCob.xml").string() + ": larger than 10 bytes, the limit for this file");
    }
}

#ifdef __linux__
// A pipe would block the reader for ever, a device would fill the memory.
TEST(ReadWholeFile, RefusesWhatIsNotARegularFileWithoutOpeningIt)
{
    TempFolder dir;
    ASSERT_EQ(mkfifo((dir / "pipe.xml").c_str(), 0600), 0);
    std::filesystem::create_symlink("nothing.xml", dir / "dangling.xml");
    const std::vector<std::pair<std::filesystem::path, std::string>> cases = {
        {dir / "pipe.xml", "a FIFO, not a regular file"},
        {"/dev/zero", "a character device, not a regular file"},
        {dir / "dangling.xml", "a symbolic link to nothing"},
        {dir.path(), "a folder, not a regular file"},
    };
    for (const auto& [path, reason] : cases) {
        try {
            ReadWholeFile(path);
            ADD_FAILURE() << path << " read";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), "Unable to read " + path.string() + ": " + reason);
        }
    }
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
