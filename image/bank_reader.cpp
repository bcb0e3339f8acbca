#include "image/bank_reader.h"

#include "documents/integer_conversion.h"
#include "image/srecord_merge.h"
#include "platform/atomic_file.h"
#include "platform/error.h"
#include "platform/file_names.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace trelvant {
namespace {

constexpr int kFirmwareBanks = 2;  // the banks the merge puts into firmware

// Address bytes of each record type; 0 for a type that does not exist (S4).
int addressBytes(char type)
{
    switch (type) {
    case '0': case '1': case '5': case '9': return 2;
    case '2': case '6': case '8': return 3;
    case '3': case '7': return 4;
    default: return 0;
    }
}

std::string hexDigits(std::uint32_t value, int digits)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) text += kDigits[value >> shift & 0x0F];
    return text;
}

std::string hexAddress(std::uint32_t address)
{
    return "0x" + hexDigits(address, 6);
}

std::string window(int bank)
{
    const std::uint32_t start = BankWindowStart(bank);
    return "bank " + std::to_string(bank) + "'s window " + hexAddress(start) + " to " +
           hexAddress(start + kBankWindowSize - 1);
}

// What makes a line that looks like a record no record, when it is a character that no count of
// digits tells: a NUL byte, a blank or a tab, or a carriage return inside the line (lines that end
// in CR alone read as one long line). Empty when the line holds none of them.
std::string strayCharacter(std::string_view line, bool lineFeeds)
{
    const std::size_t at = line.find_first_of(std::string_view(" \t\r\0", 4));
    if (at == std::string_view::npos) return {};
    const std::string column = std::to_string(at + 1);
    switch (line[at]) {
    case '\0':
        return "a NUL byte at column " + column;
    case '\r':
        if (at + 1 < line.size() && line[at + 1] == 'S')
            return lineFeeds ? "the line ends in CR alone at column " + column + "; S-record lines end in LF or CR LF"
                             : std::string("line ends are CR only; S-record lines end in LF or CR LF");
        return "a carriage return at column " + column;
    default:
        break;
    }
    const bool tab = line[at] == '\t';
    if (line.find_first_not_of(" \t", at) == std::string_view::npos)
        return tab ? "the line ends with a tab" : "the line ends with a blank";
    return (tab ? "a tab at column " : "a blank at column ") + column;
}

// The bytes of one record (count, address, data, checksum), or why it is not one.
std::string recordBytes(std::string_view line, bool lineFeeds, std::vector<std::uint8_t>& bytes)
{
    if (line.empty()) return "empty line";
    // A line that starts with such a character (NUL padding, an indent) is named by it too.
    const bool strayFirst = std::string_view(" \t\r\0", 4).find(line[0]) != std::string_view::npos;
    if (!strayFirst && (line.size() < 4 || line[0] != 'S' || addressBytes(line[1]) == 0)) return "not an S-record";
    if (std::string stray = strayCharacter(line, lineFeeds); !stray.empty()) return stray;
    if (line.size() % 2 != 0) return "an odd number of hexadecimal digits";
    bytes.clear();
    for (std::size_t i = 2; i < line.size(); i += 2) {
        const int high = HexDigitValue(line[i]);
        const int low = HexDigitValue(line[i + 1]);
        if (high < 0 || low < 0) return "'" + std::string(1, high < 0 ? line[i] : line[i + 1]) + "' is not a hexadecimal digit";
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    const std::size_t count = bytes[0];
    if (count + 1 != bytes.size())
        return "byte count " + std::to_string(count) + " but " + std::to_string(bytes.size() - 1) + " bytes follow";
    if (count < static_cast<std::size_t>(addressBytes(line[1])) + 1) return "too short for its address";
    unsigned sum = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) sum += bytes[i];
    const unsigned expected = ~sum & 0xFF;
    if (expected != bytes.back())
        return "checksum " + std::string(line.substr(line.size() - 2)) + ", the record's bytes give " +
               hexDigits(expected, 2);
    return {};
}

class FirmwareReader {
public:
    FirmwareReader(const std::filesystem::path& path, ConfigurationImage& image)
        : shown_(DisplayPath(path)), image_(image), givenOn_(kFirmwareBanks * kBankWindowSize, 0)
    {
    }

    void read(std::string_view text)
    {
        std::uint64_t number = 0;
        std::vector<std::uint8_t> bytes;
        const bool lineFeeds = text.find('\n') != std::string_view::npos;
        for (std::size_t at = 0; at < text.size();) {
            std::size_t end = text.find('\n', at);
            if (end == std::string_view::npos) end = text.size();
            std::string_view line = text.substr(at, end - at);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            at = end + 1;
            ++number;
            if (const std::string fault = recordBytes(line, lineFeeds, bytes); !fault.empty()) failAt(number, fault);
            if (line[1] == '2') place(number, bytes);
        }
        for (int bank = 1; bank <= kFirmwareBanks; ++bank) checkWhole(bank);
    }

private:
    [[noreturn]] void failAt(std::uint64_t line, const std::string& reason) const
    {
        throw Error(shown_ + ", line " + std::to_string(line) + ": " + reason);
    }

    // An S2 record's data bytes that lie in a window go into its bank, wherever the record starts.
    void place(std::uint64_t line, const std::vector<std::uint8_t>& bytes)
    {
        const std::uint32_t address = static_cast<std::uint32_t>(bytes[1]) << 16 | bytes[2] << 8 | bytes[3];
        for (std::size_t k = 4; k + 1 < bytes.size(); ++k) {
            const std::uint32_t at = address + static_cast<std::uint32_t>(k - 4);
            for (int bank = 1; bank <= kFirmwareBanks; ++bank) {
                const std::uint32_t start = BankWindowStart(bank);
                if (at < start || at >= start + kBankWindowSize) continue;
                std::uint64_t& given = givenOn_[(bank - 1) * kBankWindowSize + (at - start)];
                if (given != 0)
                    failAt(line, "the byte at " + hexAddress(at) + " was given before, on line " + std::to_string(given));
                given = line;
                image_.put8(bank, at - start, bytes[k]);
            }
        }
    }

    void checkWhole(int bank) const
    {
        const auto first = givenOn_.begin() + (bank - 1) * kBankWindowSize;
        const auto last = first + kBankWindowSize;
        const auto missing = static_cast<std::size_t>(std::count(first, last, 0));
        if (missing == 0) return;
        if (missing == kBankWindowSize) throw Error(shown_ + ": no S2 record holds " + window(bank));
        const auto gap = static_cast<std::uint32_t>(std::find(first, last, 0) - first);
        throw Error(shown_ + ": " + window(bank) + " lacks " + std::to_string(missing) + " of its " +
                    std::to_string(kBankWindowSize) + " bytes, the first at " + hexAddress(BankWindowStart(bank) + gap));
    }

    std::string shown_;
    ConfigurationImage& image_;
    std::vector<std::uint64_t> givenOn_;  // the line that gave each byte of the windows, 0 for none yet
};

}  // namespace

void ReadBankFile(const std::filesystem::path& path, int bank, ConfigurationImage& image)
{
    const std::string bytes = ReadWholeFile(path, ConfigurationImage::kBankSize);
    if (bytes.size() != ConfigurationImage::kBankSize)
        throw Error("Unable to read " + DisplayPath(path) + ": " + std::to_string(bytes.size()) +
                    " bytes, not the 16384 of a bank file");
    std::copy(bytes.begin(), bytes.end(), image.bank(bank).begin());
}

void ReadFirmwareBanks(const std::filesystem::path& path, ConfigurationImage& image)
{
    FirmwareReader(path, image).read(ReadWholeFile(path, kMaxFirmwareBytes));
}

}  // namespace trelvant
