#include "image/bank_files.h"
#include "platform/atomic_file.h"
#include "platform/error.h"
#include "platform/file_names.h"
#include "tests/support/temp_folder.h"

#include <cerrno>
#include <cstdio>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace trelvant {
namespace {

using test::ReadText;
using test::TempFolder;

std::vector<std::string> crlfLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "text after the last line end";
    return lines;
}

ConfigurationImage patternedImage()
{
    ConfigurationImage image;
    for (int bank = 1; bank <= ConfigurationImage::kBankCount; ++bank)
        for (std::size_t i = 0; i < ConfigurationImage::kBankSize; ++i)
            image.put8(bank, i, static_cast<std::uint32_t>(i * 7 + static_cast<std::size_t>(bank)));
    return image;
}

TEST(BankSource, HasTheLayoutTheFirmwareBuildExpects)
{
    ConfigurationImage image;
    for (std::size_t i = 0; i < 4096; ++i) image.put8(1, i, 0xFF);
    image.put8(1, 0, 0x1A);
    image.put8(1, 16383, 0xAB);
    image.put8(2, 16, 0x0c);
    image.put8(3, 0, 0x77);  // banks 3 to 5 are not part of the source

    const std::string text = BankSourceText(image);
    EXPECT_EQ(text.size(), 235593u);
    const std::vector<std::string> lines = crlfLines(text);
    ASSERT_EQ(lines.size(), 2052u);

    EXPECT_EQ(lines[0], "#pragma CONST_SEG SEGMENT0");
    EXPECT_EQ(lines[1].size(), 119u);
    EXPECT_EQ(lines[1].substr(0, 26), "const char Bank1 [] = { 0x");
    EXPECT_EQ(lines[1].substr(23, 12), " 0x1A, 0xFF,");
    EXPECT_EQ(lines[2], std::string(17, ' ') + [] {
        std::string s;
        for (int i = 0; i < 16; ++i) s += " 0xFF,";
        return s;
    }());
    EXPECT_EQ(lines[1024].size(), 114u);
    EXPECT_EQ(lines[1024].substr(lines[1024].size() - 7), " 0xAB};");
    EXPECT_EQ(lines[1025], "");
    EXPECT_EQ(lines[1026].substr(0, 23), "const char Bank2 [] = {");
    EXPECT_EQ(lines[1027].substr(17, 6), " 0x0C,");
    EXPECT_EQ(lines[2049].substr(lines[2049].size() - 7), " 0x00};");
    EXPECT_EQ(lines[2050], "");
    EXPECT_EQ(lines[2051], "#pragma CONST_SEG DEFAULT");
    for (std::size_t line : {2u, 500u, 1023u, 1027u, 2048u}) EXPECT_EQ(lines[line].size(), 113u) << line;
    EXPECT_EQ(text.find("0x77"), std::string::npos);
}

TEST(BankSource, EveryByteOfBothBanksAppearsInOrder)
{
    const ConfigurationImage image = patternedImage();
    const std::string text = BankSourceText(image);
    std::vector<unsigned> values;
    for (std::size_t at = 0; (at = text.find(" 0x", at)) != std::string::npos; at += 3)
        values.push_back(static_cast<unsigned>(std::stoul(text.substr(at + 3, 2), nullptr, 16)));
    ASSERT_EQ(values.size(), 2 * ConfigurationImage::kBankSize);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const int bank = i < ConfigurationImage::kBankSize ? 1 : 2;
        ASSERT_EQ(values[i], image.get8(bank, i % ConfigurationImage::kBankSize)) << i;
    }
}

TEST(BankFiles, WritesFiveBanksAndTheSourceReplacingOldFiles)
{
    TempFolder project;
    std::filesystem::create_directory(project / "bin");
    test::WriteText(project / "bin" / "bank1.bin", std::string(20000, 'x'));  // longer than a bank

    const ConfigurationImage image = patternedImage();
    for (int round = 0; round < 2; ++round) {
        WriteBankFiles(image, project.path());
        WriteBankSource(image, project.path());
    }
    for (int bank = 1; bank <= 5; ++bank) {
        const auto bytes = image.bank(bank);
        EXPECT_EQ(ReadText(BankFilePath(project.path(), bank)), std::string(bytes.begin(), bytes.end())) << bank;
    }
    EXPECT_EQ(ReadText(project / "bin" / "bankg.c"), BankSourceText(image));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(project / "bin"), {}), 6);
}

TEST(BankFiles, AMissingBinFolderIsAnError)
{
    TempFolder project;
    const ConfigurationImage image;
    try {
        WriteBankFiles(image, project.path());
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + (project / "bin").string() + ": " + SystemReason(ENOENT));
    }
    EXPECT_THROW(WriteBankSource(image, project.path()), Error);
    EXPECT_FALSE(std::filesystem::exists(project / "bin"));
}

// The six files are one set: when one of them cannot be written none is replaced.
TEST(BankFiles, AFailingFileLeavesTheOldSetWhole)
{
    TempFolder project;
    std::filesystem::create_directory(project / "bin");
    const ConfigurationImage first;
    WriteBankOutputs(first, project.path());
    const std::string oldSource = ReadText(project / "bin" / "bankg.c");

    std::filesystem::remove(project / "bin" / "bankg.c");
    std::filesystem::create_directory(project / "bin" / "bankg.c");  // in the way of the last file
    const ConfigurationImage second = patternedImage();
    EXPECT_THROW(WriteBankOutputs(second, project.path()), Error);
    for (int bank = 1; bank <= 5; ++bank)
        EXPECT_EQ(ReadText(BankFilePath(project.path(), bank)), std::string(ConfigurationImage::kBankSize, '\0')) << bank;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(project / "bin"), {}), 6);

    std::filesystem::remove(project / "bin" / "bankg.c");
    WriteBankOutputs(second, project.path());
    EXPECT_EQ(ReadText(project / "bin" / "bankg.c"), BankSourceText(second));
    EXPECT_NE(BankSourceText(second), oldSource);
    const auto bank1 = second.bank(1);
    EXPECT_EQ(ReadText(BankFilePath(project.path(), 1)), std::string(bank1.begin(), bank1.end()));
}

// Another program holds the last file of the set open (bankg.c in an editor). Windows cannot
// replace it, and the build fails before any of the six is replaced; Linux replaces all six.
TEST(BankFiles, AFileHeldOpenElsewhere)
{
    TempFolder project;
    std::filesystem::create_directory(project / "bin");
    const ConfigurationImage first;
    WriteBankOutputs(first, project.path());
    std::FILE* editor = OpenFile(project / "bin" / "bankg.c", "rb");
    ASSERT_NE(editor, nullptr);
    const ConfigurationImage second = patternedImage();
#ifdef _WIN32
    try {
        WriteBankOutputs(second, project.path());
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + DisplayPath(project / "bin" / "bankg.c") +
                                             ": the file is in use by another program");
    }
    std::fclose(editor);
    const ConfigurationImage& expected = first;
#else
    WriteBankOutputs(second, project.path());
    std::fclose(editor);
    const ConfigurationImage& expected = second;
#endif
    for (int bank = 1; bank <= 5; ++bank) {
        const auto bytes = expected.bank(bank);
        EXPECT_TRUE(ReadText(BankFilePath(project.path(), bank)) == std::string(bytes.begin(), bytes.end())) << bank;
    }
    EXPECT_TRUE(ReadText(project / "bin" / "bankg.c") == BankSourceText(expected));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(project / "bin"), {}), 6);
}

std::size_t temporariesIn(const std::filesystem::path& folder)
{
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == ".tmp") ++count;
    return count;
}

// A build that stops among its renames, as a killed one would, leaves files of two builds and the
// marker that says so. The marker stands from before the first rename to after the last, when all
// six temporaries are written already; the next build that completes removes it.
TEST(BankFiles, ABuildStoppedAmongItsRenamesLeavesTheMarkerUntilTheNextBuild)
{
    struct Stopped {};
    for (int renamed : {1, 2, 5}) {
        SCOPED_TRACE(renamed);
        TempFolder project;
        const std::filesystem::path bin = project / "bin";
        std::filesystem::create_directory(bin);
        const ConfigurationImage first;
        WriteBankOutputs(first, project.path());
        EXPECT_FALSE(BuildIncomplete(bin));

        const ConfigurationImage second = patternedImage();
        int replaced = 0;
        const auto stopAfterSome = [&](const std::filesystem::path&) {
            EXPECT_TRUE(BuildIncomplete(bin));
            EXPECT_EQ(temporariesIn(bin), 5u - static_cast<std::size_t>(replaced));
            if (++replaced == renamed) throw Stopped{};
        };
        EXPECT_THROW(WriteBankOutputs(second, project.path(), stopAfterSome), Stopped);
        EXPECT_TRUE(BuildIncomplete(bin));
        EXPECT_TRUE(std::filesystem::is_regular_file(bin / ".build-incomplete"));
        for (int bank = 1; bank <= 5; ++bank) {
            const auto bytes = (bank <= renamed ? second : first).bank(bank);
            EXPECT_TRUE(ReadText(BankFilePath(project.path(), bank)) == std::string(bytes.begin(), bytes.end())) << bank;
        }
        EXPECT_TRUE(ReadText(BankSourcePath(project.path())) == BankSourceText(first));

        WriteBankOutputs(second, project.path());
        EXPECT_FALSE(BuildIncomplete(bin));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(bin), {}), 6);
        EXPECT_TRUE(ReadText(BankSourcePath(project.path())) == BankSourceText(second));
    }
}

TEST(ConfigurationImage, StoresFieldsLeastSignificantByteFirstCutToTheirWidth)
{
    ConfigurationImage image;
    image.put32(2, 0, 419361024u);
    EXPECT_EQ(image.get8(2, 0), 0x00);
    EXPECT_EQ(image.get8(2, 1), 0xF1);
    EXPECT_EQ(image.get8(2, 2), 0xFE);
    EXPECT_EQ(image.get8(2, 3), 0x18);
    image.put16(1, 1605, 0x12345u);
    EXPECT_EQ(image.get16(1, 1605), 0x2345);
    EXPECT_EQ(image.get8(1, 1607), 0);
    image.put8(5, 16383, 0x1FF);
    EXPECT_EQ(image.get8(5, 16383), 0xFF);
    EXPECT_EQ(image.get8(4, 16383), 0);
}

}  // namespace
}  // namespace trelvant
