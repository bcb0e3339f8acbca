// Reading banks 1 and 2 back out of merged firmware, then dumping them. The input is the firmware
// file. Whatever the bytes, the reader either fills both windows or refuses with the core's error;
// banks read back are dumped as text and JSON without failing, and written again as S2 records
// they read back as the same banks.
#include "image/bank_reader.h"
#include "image/image_dump.h"
#include "platform/error.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdio>
#include <memory>
#include <string>

using namespace trelvant;
using fuzz::Check;

namespace {

constexpr std::uint32_t kWindowStart[] = {0x388000, 0x398000};

// The two banks as S2 records of 32 bytes each, in address order.
std::string AsRecords(const ConfigurationImage& image)
{
    std::string text;
    for (int bank = 1; bank <= 2; ++bank) {
        const auto bytes = image.bank(bank);
        for (std::size_t at = 0; at < bytes.size(); at += 32) {
            const std::uint32_t address = kWindowStart[bank - 1] + static_cast<std::uint32_t>(at);
            unsigned sum = 32 + 4;
            char hex[8];
            std::snprintf(hex, sizeof hex, "%06X", address);
            text += "S224";
            text += hex;
            sum += (address >> 16) + ((address >> 8) & 0xFF) + (address & 0xFF);
            for (std::size_t i = 0; i < 32; ++i) {
                std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned>(bytes[at + i]));
                text += hex;
                sum += bytes[at + i];
            }
            std::snprintf(hex, sizeof hex, "%02X", ~sum & 0xFFu);
            text += hex;
            text += "\r\n";
        }
    }
    return text + "S804000000FB\r\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::filesystem::path folder = fuzz::FreshFolder("firmware_banks");
    const std::filesystem::path firmware = folder / "New_Pelmora.sx";
    fuzz::WriteBytes(firmware, std::string_view(reinterpret_cast<const char*>(data), size));

    auto image = std::make_unique<ConfigurationImage>();
    try {
        ReadFirmwareBanks(firmware, *image);
    } catch (const Error&) {
        return 0;
    }

    const ImageDump dump = DumpConfigurationImage(*image);
    Check(!DumpText(dump).empty(), "an empty text dump");
    const std::string json = DumpJson(dump);
    Check(!json.empty() && json.front() == '{', "a JSON dump that is not an object");

    fuzz::WriteBytes(folder / "again.sx", AsRecords(*image));
    auto again = std::make_unique<ConfigurationImage>();
    ReadFirmwareBanks(folder / "again.sx", *again);
    for (int bank = 1; bank <= 2; ++bank) {
        const auto read = image->bank(bank);
        const auto reread = again->bank(bank);
        Check(std::equal(read.begin(), read.end(), reread.begin(), reread.end()), "banks read back differ");
    }
    return 0;
}
