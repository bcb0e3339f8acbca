// Writes the demonstration base firmware: S-records of a made-up program for the gateway's
// controller, the same bytes on every run. No device runs it; it lets the configurator go the
// whole road from a project to the flash tool.
//
//   make_demo_firmware OUTPUT
//
// S0 header, S1 records of the unpaged memory (a short block at 0x3880, code from 0x4000, the
// vectors at the top), S2 records over pages 0x36 to 0x3B with the windows of banks 1 and 2
// (0x388000 and 0x398000) filled whole, S9.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::uint32_t state = 0x2545F491;

std::uint8_t nextByte()
{
    state = state * 1103515245u + 12345u;
    return static_cast<std::uint8_t>(state >> 16);
}

std::string record(char type, int addressBytes, std::uint32_t address, const std::vector<std::uint8_t>& data)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text = {'S', type};
    unsigned sum = 0;
    const auto put = [&](unsigned byte) {
        text += kHex[(byte >> 4) & 0x0F];
        text += kHex[byte & 0x0F];
        sum += byte & 0xFF;
    };
    put(static_cast<unsigned>(addressBytes + data.size() + 1));
    for (int i = addressBytes - 1; i >= 0; --i) put(address >> (8 * i));
    for (std::uint8_t byte : data) put(byte);
    const unsigned checksum = ~sum & 0xFF;
    text += kHex[checksum >> 4];
    text += kHex[checksum & 0x0F];
    return text + "\r\n";
}

std::vector<std::uint8_t> randomBytes(std::size_t count)
{
    std::vector<std::uint8_t> bytes(count);
    for (auto& byte : bytes) byte = nextByte();
    return bytes;
}

// Records of 32 bytes from start up to end, each taking its bytes from make().
template <typename Make>
void block(std::string& text, char type, int addressBytes, std::uint32_t start, std::uint32_t end, Make make)
{
    for (std::uint32_t address = start; address < end; address += 32) text += record(type, addressBytes, address, make(address));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_demo_firmware OUTPUT\n");
        return 2;
    }
    std::string text;
    const std::string header = "DEMONSTRATION FIRMWARE - NOT FOR A DEVICE";
    text += record('0', 2, 0, std::vector<std::uint8_t>(header.begin(), header.end()));

    text += record('1', 2, 0x3880, randomBytes(16));
    block(text, '1', 2, 0x4000, 0x5000, [](std::uint32_t) { return randomBytes(32); });
    block(text, '1', 2, 0xFF80, 0x10000, [](std::uint32_t) {
        std::vector<std::uint8_t> vectors;
        for (int i = 0; i < 16; ++i) vectors.insert(vectors.end(), {0x40, 0x00});  // every vector to 0x4000
        return vectors;
    });

    for (std::uint32_t page = 0x36; page <= 0x3B; ++page) {
        const std::uint32_t start = page << 16 | 0x8000;
        if (page == 0x38 || page == 0x39) {
            // A bank window as the device leaves the factory: erased, with a made-up parameter block.
            block(text, '2', 3, start, start + 0x4000, [start](std::uint32_t address) {
                std::vector<std::uint8_t> bytes(32, 0xFF);
                if (address - start >= 0x3E80) bytes.assign(32, 0x00);
                return bytes;
            });
        } else {
            block(text, '2', 3, start, start + 0x1000, [](std::uint32_t) { return randomBytes(32); });
        }
    }
    text += record('9', 2, 0x4000, {});

    const std::filesystem::path output(argv[1]);
    std::filesystem::path temporary = output;
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) {
            std::fprintf(stderr, "make_demo_firmware: cannot write %s\n", temporary.string().c_str());
            return 1;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, output, ec);
    if (ec) {
        std::fprintf(stderr, "make_demo_firmware: cannot write %s\n", output.string().c_str());
        return 1;
    }
    return 0;
}
