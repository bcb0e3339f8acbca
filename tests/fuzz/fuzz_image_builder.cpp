// The configuration image built from a project folder of up to five documents, then written as
// the bank files and the bank source file.
//
// Input: one byte of flags, then the documents pargen.xml, RCobDef.xml, TCobDef.xml, RInfoCob.xml
// and TInfoCob.xml, in this order, cut by the separator line. Flag bit n (0 to 4) puts document n
// in the folder (empty when its part is missing); bit 5 spells every name in upper case; bit 6
// leaves the bin folder out. The project check runs first: a refused build is one it found an
// error in.
#include "image/bank_files.h"
#include "image/configuration_image.h"
#include "image/image_builder.h"
#include "image/project_check.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "tests/fuzz/fuzz_support.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

using namespace trelvant;
using fuzz::Check;

namespace {

constexpr std::array<const char*, 5> kDocuments = {"pargen.xml", "RCobDef.xml", "TCobDef.xml", "RInfoCob.xml",
                                                   "TInfoCob.xml"};
constexpr unsigned kUpperCaseNames = 1u << 5;
constexpr unsigned kNoBinFolder = 1u << 6;
constexpr std::size_t kBankSourceSize = 235593;  // 2052 lines ending in CR LF

std::string Spelled(const char* name, bool upper)
{
    std::string text = name;
    if (upper) std::ranges::transform(text, text.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

bool AllZero(std::span<const std::uint8_t> bytes)
{
    return std::ranges::all_of(bytes, [](std::uint8_t b) { return b == 0; });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    const unsigned flags = data[0];
    const std::vector<std::string_view> parts = fuzz::SplitInput(data + 1, size - 1, kDocuments.size());

    const std::filesystem::path folder = fuzz::FreshFolder("project");
    for (std::size_t n = 0; n < kDocuments.size(); ++n)
        if (flags & (1u << n))
            fuzz::WriteBytes(folder / Spelled(kDocuments[n], flags & kUpperCaseNames),
                             n < parts.size() ? parts[n] : std::string_view());
    if (!(flags & kNoBinFolder)) std::filesystem::create_directory(folder / "bin");

    const std::vector<Finding> findings = CheckProject(folder);
    ConfigurationImage image;
    const FixedClock clock({2026, 12, 10, 12, 0, 0});
    try {
        BuildConfigurationImage(image, folder, clock);
    } catch (const Error& e) {
        Check(CountFindings(findings, Severity::Error) > 0, std::string("the check found no error in a refused build: ") + e.what());
        return 0;  // a refused project: Update Device shows the message and writes nothing
    }
    for (int bank = 3; bank <= ConfigurationImage::kBankCount; ++bank)
        Check(AllZero(image.bank(bank)), "the build wrote into bank " + std::to_string(bank));
    if (flags & 1u)
        Check(AllZero(image.bank(1).subspan(4096, 256)), "the J1939 layout wrote into the identifier bitmap");

    try {
        WriteBankFiles(image, folder);
        WriteBankSource(image, folder);
    } catch (const Error&) {
        Check(flags & kNoBinFolder, "the bank files could not be written into an existing bin folder");
        return 0;
    }
    for (int bank = 1; bank <= ConfigurationImage::kBankCount; ++bank) {
        const std::string bytes = fuzz::ReadBytes(BankFilePath(folder, bank));
        const auto expected = image.bank(bank);
        Check(bytes.size() == expected.size() && std::equal(expected.begin(), expected.end(), bytes.begin(),
                                                            [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); }),
              "bank" + std::to_string(bank) + ".bin is not bank " + std::to_string(bank) + " of the image");
    }
    Check(fuzz::ReadBytes(BankSourcePath(folder)).size() == kBankSourceSize, "bankg.c is not 235593 bytes long");
    return 0;
}
