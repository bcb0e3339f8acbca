#pragma once

// Zip archives of stored (uncompressed) entries, made in memory, for the workbook reader's tests
// and fuzz target: the entries' checksums are right whatever they hold.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace trelvant::test {

using ZipEntry = std::pair<std::string, std::string_view>;  // name, bytes

inline std::uint32_t Crc32(std::string_view bytes)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

inline void PutLittle(std::string& out, std::uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

inline std::string StoredZip(const std::vector<ZipEntry>& entries)
{
    std::string zip;
    std::string directory;
    for (const auto& [name, bytes] : entries) {
        const std::uint64_t offset = zip.size();
        const std::uint32_t crc = Crc32(bytes);
        // Signature, version needed, flags, method 0 (stored), time and date.
        PutLittle(zip, 0x04034B50, 4);
        PutLittle(zip, 20, 2);
        PutLittle(zip, 0, 2);
        PutLittle(zip, 0, 2);
        PutLittle(zip, 0, 4);
        PutLittle(zip, crc, 4);
        PutLittle(zip, bytes.size(), 4);
        PutLittle(zip, bytes.size(), 4);
        PutLittle(zip, name.size(), 2);
        PutLittle(zip, 0, 2);
        zip += name;
        zip += bytes;

        // Signature, versions made by and needed, flags, method, time and date.
        PutLittle(directory, 0x02014B50, 4);
        PutLittle(directory, 20, 2);
        PutLittle(directory, 20, 2);
        PutLittle(directory, 0, 2);
        PutLittle(directory, 0, 2);
        PutLittle(directory, 0, 4);
        PutLittle(directory, crc, 4);
        PutLittle(directory, bytes.size(), 4);
        PutLittle(directory, bytes.size(), 4);
        PutLittle(directory, name.size(), 2);
        PutLittle(directory, 0, 2);  // extra field
        PutLittle(directory, 0, 2);  // comment
        PutLittle(directory, 0, 2);  // disk
        PutLittle(directory, 0, 2);  // internal attributes
        PutLittle(directory, 0, 4);  // external attributes
        PutLittle(directory, offset, 4);
        directory += name;
    }
    const std::uint64_t directoryOffset = zip.size();
    zip += directory;
    PutLittle(zip, 0x06054B50, 4);
    PutLittle(zip, 0, 2);
    PutLittle(zip, 0, 2);
    PutLittle(zip, entries.size() > 0xFFFF ? 0xFFFF : entries.size(), 2);
    PutLittle(zip, entries.size() > 0xFFFF ? 0xFFFF : entries.size(), 2);
    PutLittle(zip, directory.size(), 4);
    PutLittle(zip, directoryOffset, 4);
    PutLittle(zip, 0, 2);
    return zip;
}

}  // namespace trelvant::test
