#include "image/bank_reader.h"
#include "image/srecord_merge.h"
#include "platform/error.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace trelvant {
namespace {

using test::TempFolder;
using test::WriteText;

using Lines = std::vector<std::string>;

// Banks 1 and 2 of a pattern that differs in every byte of a window.
std::unique_ptr<ConfigurationImage> patternImage()
{
    auto image = std::make_unique<ConfigurationImage>();
    for (int bank = 1; bank <= 2; ++bank)
        for (std::size_t i = 0; i < ConfigurationImage::kBankSize; ++i)
            image->put8(bank, i, static_cast<std::uint32_t>(i * 7 + i / 256 + static_cast<std::size_t>(bank)));
    return image;
}

// The 512 records the merge writes for a bank of image.
Lines bankLines(const ConfigurationImage& image, int bank)
{
    const std::string text = BankRecords(bank, image.bank(bank));
    Lines lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find("\r\n", at);
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

// An S2 record of these bytes at address, its checksum computed.
std::string s2(std::uint32_t address, const std::vector<std::uint8_t>& bytes)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const auto hex = [](unsigned value, int digits) {
        std::string text;
        for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) text += kDigits[value >> shift & 0x0F];
        return text;
    };
    std::string record = "S2" + hex(static_cast<unsigned>(bytes.size() + 4), 2) + hex(address, 6);
    for (const std::uint8_t b : bytes) record += hex(b, 2);
    record += "00";
    return record.replace(record.size() - 2, 2, SRecordChecksum(record));
}

// Firmware around the banks: a header, code below the windows, the two windows, the end.
Lines firmwareLines(const ConfigurationImage& image)
{
    Lines lines = {"S00600004844521B", "S1133880736EE1C44FE35B59D6F38ECEC80C77BC9C", s2(0x380000, {1, 2, 3})};
    for (int bank = 1; bank <= 2; ++bank) {
        const Lines records = bankLines(image, bank);
        lines.insert(lines.end(), records.begin(), records.end());
    }
    lines.push_back("S9030000FC");
    return lines;
}

std::string joined(const Lines& lines)
{
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

bool sameBanks(const ConfigurationImage& a, const ConfigurationImage& b)
{
    return std::ranges::equal(a.bank(1), b.bank(1)) && std::ranges::equal(a.bank(2), b.bank(2));
}

TEST(FirmwareBanks, ReadsBothWindowsOutOfTheirS2Records)
{
    TempFolder folder;
    const auto image = patternImage();
    const std::filesystem::path path = folder / "New_Pelmora.sx";

    WriteText(path, joined(firmwareLines(*image)));
    ConfigurationImage read;
    ReadFirmwareBanks(path, read);
    EXPECT_TRUE(sameBanks(read, *image));

    // Records of another length, one starting below the window and reaching into it, LF line ends.
    Lines lines = {"S00600004844521B"};
    for (std::uint32_t at = 0x388000 - 8; at < 0x388000 + 0x4000; at += 24) {
        std::vector<std::uint8_t> bytes;
        for (std::uint32_t a = at; a < std::min(at + 24, 0x388000u + 0x4000); ++a)
            bytes.push_back(a < 0x388000 ? 0xEE : image->get8(1, a - 0x388000));
        lines.push_back(s2(at, bytes));
    }
    const Lines bank2 = bankLines(*image, 2);
    lines.insert(lines.end(), bank2.rbegin(), bank2.rend());  // in any order
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    WriteText(path, text + "S9030000FC");  // the last line without a line end
    ConfigurationImage again;
    ReadFirmwareBanks(path, again);
    EXPECT_TRUE(sameBanks(again, *image));
}

TEST(FirmwareBanks, RefusesWhatIsNotWholeWellFormedS2Records)
{
    struct Case {
        const char* name;
        std::function<void(Lines&)> spoil;  // lines: header, S1, S2 below, 512 of bank 1 (4 to 515), 512 of bank 2, S9
        const char* message;                // after "<path>"
    };
    const std::vector<Case> cases = {
        {"EmptyLine", [](Lines& l) { l.insert(l.end() - 1, ""); }, ", line 1028: empty line"},
        {"LowerCaseTag", [](Lines& l) { l[0][0] = 's'; }, ", line 1: not an S-record"},
        {"S4", [](Lines& l) { l[0] = "S4030000FC"; }, ", line 1: not an S-record"},
        {"WrongChecksum", [](Lines& l) { l[3] = "S224388000" + std::string(64, 'F') + "44"; },
         ", line 4: checksum 44, the record's bytes give 43"},
        {"CountTooLarge", [](Lines& l) { l[1].replace(2, 2, "14"); }, ", line 2: byte count 20 but 19 bytes follow"},
        {"NotHexadecimal", [](Lines& l) { l[1][10] = 'G'; }, ", line 2: 'G' is not a hexadecimal digit"},
        {"OddDigits", [](Lines& l) { l[1].pop_back(); }, ", line 2: an odd number of hexadecimal digits"},
        {"ByteGivenTwice", [](Lines& l) { l.insert(l.end() - 1, l[3]); },
         ", line 1028: the byte at 0x388000 was given before, on line 4"},
        {"Bank1WindowWithAGap", [](Lines& l) { l.erase(l.begin() + 5); },
         ": bank 1's window 0x388000 to 0x38BFFF lacks 32 of its 16384 bytes, the first at 0x388040"},
        {"NoBank2Window", [](Lines& l) { l.erase(l.begin() + 515, l.end() - 1); },
         ": no S2 record holds bank 2's window 0x398000 to 0x39BFFF"},
        {"Bank2AsS3Records", [](Lines& l) {
             for (auto it = l.begin() + 515; it != l.end() - 1; ++it) {
                 *it = "S325" + std::string("00") + it->substr(4, it->size() - 6) + "00";
                 it->replace(it->size() - 2, 2, SRecordChecksum(*it));
             }
         }, ": no S2 record holds bank 2's window 0x398000 to 0x39BFFF"},
    };
    TempFolder folder;
    const auto image = patternImage();
    const std::filesystem::path path = folder / "fw.sx";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Lines lines = firmwareLines(*image);
        c.spoil(lines);
        WriteText(path, joined(lines));
        ConfigurationImage read;
        try {
            ReadFirmwareBanks(path, read);
            ADD_FAILURE() << "read";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), path.string() + c.message);
        }
    }
}

TEST(BankFile, HoldsExactly16384Bytes)
{
    TempFolder folder;
    const std::filesystem::path path = folder / "bank2.bin";
    struct Case {
        std::size_t size;  // 0: no file
        const char* reason;
    };
    for (const Case& c : {Case{0, "No such file or directory"}, Case{100, "100 bytes, not the 16384 of a bank file"},
                          Case{16385, "larger than 16384 bytes, the limit for this file"}}) {
        SCOPED_TRACE(c.size);
        std::filesystem::remove(path);
        if (c.size) WriteText(path, std::string(c.size, 'x'));
        ConfigurationImage image;
        try {
            ReadBankFile(path, 2, image);
            ADD_FAILURE() << "read";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), "Unable to read " + path.string() + ": " + c.reason);
        }
    }

    std::string bytes(16384, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i % 251);
    WriteText(path, bytes);
    ConfigurationImage image;
    ReadBankFile(path, 2, image);
    EXPECT_TRUE(std::ranges::equal(image.bank(2), bytes, [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); }));
    EXPECT_TRUE(std::ranges::all_of(image.bank(1), [](std::uint8_t b) { return b == 0; }));
}

}  // namespace
}  // namespace trelvant
