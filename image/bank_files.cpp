#include "image/bank_files.h"

#include "platform/atomic_file.h"

#include <string_view>

namespace trelvant {
namespace {

constexpr std::size_t kValuesPerLine = 16;

void appendBankArray(std::string& text, const ConfigurationImage& image, int bank)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    const auto bytes = image.bank(bank);
    for (std::size_t line = 0; line < bytes.size() / kValuesPerLine; ++line) {
        if (line == 0) {
            text += "const char Bank";
            text += static_cast<char>('0' + bank);
            text += " [] = {";
        } else {
            text.append(17, ' ');
        }
        for (std::size_t i = line * kValuesPerLine; i < (line + 1) * kValuesPerLine; ++i) {
            text += " 0x";
            text += kHex[bytes[i] >> 4];
            text += kHex[bytes[i] & 0x0F];
            text += i + 1 == bytes.size() ? "};" : ",";
        }
        text += "\r\n";
    }
}

}  // namespace

std::filesystem::path BankFilePath(const std::filesystem::path& projectFolder, int bank)
{
    return projectFolder / "bin" / ("bank" + std::to_string(bank) + ".bin");
}

std::filesystem::path BankSourcePath(const std::filesystem::path& projectFolder)
{
    return projectFolder / "bin" / "bankg.c";
}

void WriteBankFiles(const ConfigurationImage& image, const std::filesystem::path& projectFolder)
{
    for (int bank = 1; bank <= ConfigurationImage::kBankCount; ++bank) {
        const auto bytes = image.bank(bank);
        WriteFileAtomically(BankFilePath(projectFolder, bank),
                            std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }
}

std::string BankSourceText(const ConfigurationImage& image)
{
    std::string text;
    text.reserve(235593);
    text += "#pragma CONST_SEG SEGMENT0\r\n";
    appendBankArray(text, image, 1);
    text += "\r\n";
    appendBankArray(text, image, 2);
    text += "\r\n";
    text += "#pragma CONST_SEG DEFAULT\r\n";
    return text;
}

void WriteBankSource(const ConfigurationImage& image, const std::filesystem::path& projectFolder)
{
    WriteFileAtomically(BankSourcePath(projectFolder), BankSourceText(image));
}

}  // namespace trelvant
