#include "documents/xls_check.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace trelvant {
namespace {

constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
constexpr std::size_t kHeaderBytes = 512;
constexpr std::size_t kDirectoryEntryBytes = 128;
constexpr std::size_t kHeaderFatEntries = 109;

// BIFF records of the checks.
constexpr std::uint16_t kBof = 0x0809;
constexpr std::uint16_t kEof = 0x000A;
constexpr std::uint16_t kBoundSheet = 0x0085;
constexpr std::uint16_t kDimensions = 0x0200;

constexpr std::uint64_t kMaxRows = 65536;
constexpr std::uint64_t kMaxColumns = 256;

// Thrown inside the check with the reason; never leaves it.
struct Refusal {
    std::string reason;
};

[[noreturn]] void Refuse(std::string reason)
{
    throw Refusal{std::move(reason)};
}

std::uint32_t Read(std::string_view bytes, std::size_t at, int size)
{
    if (at > bytes.size() || static_cast<std::size_t>(size) > bytes.size() - at) Refuse("it is cut short");
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// Latin-1 or UTF-16LE text as UTF-8, for the messages.
void AppendUtf8(std::string& out, std::uint32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

class CompoundDocument {
public:
    explicit CompoundDocument(const std::string& file) : file_(file)
    {
        if (file_.size() < kHeaderBytes) Refuse("it is cut short");
        const std::uint32_t major = Read(file_, 26, 2);
        const std::uint32_t shift = Read(file_, 30, 2);
        if (Read(file_, 28, 2) != 0xFFFE || (major != 3 && major != 4) || (shift != 9 && shift != 12) ||
            Read(file_, 32, 2) != 6)
            Refuse("its compound document header is damaged");
        sectorSize_ = std::size_t{1} << shift;
        sectorCount_ = file_.size() <= sectorSize_ ? 0 : (file_.size() - sectorSize_ + sectorSize_ - 1) / sectorSize_;
        majorVersion_ = major;

        const std::uint32_t fatSectors = Read(file_, 44, 4);
        const std::uint32_t difatSectors = Read(file_, 72, 4);
        const std::uint32_t miniFatSectors = Read(file_, 64, 4);
        const std::uint32_t directorySectors = Read(file_, 40, 4);
        if (fatSectors > sectorCount_ || difatSectors > sectorCount_ || miniFatSectors > sectorCount_ ||
            directorySectors > sectorCount_)
            Refuse("its compound document counts more sectors than the file holds");
        readFat(fatSectors, difatSectors);
        readDirectory(Read(file_, 48, 4));
        miniCutoff_ = Read(file_, 56, 4);
        firstMiniFat_ = Read(file_, 60, 4);
    }

    // The workbook stream, whole.
    std::string workbookStream() const
    {
        const Entry* stream = nullptr;
        for (const Entry& entry : entries_)
            if (entry.type == 2 && (entry.name == u"Workbook" || entry.name == u"Book")) {
                stream = &entry;
                break;
            }
        if (stream == nullptr) Refuse("it holds no workbook stream");
        if (stream->size > file_.size()) Refuse("its workbook stream is larger than the file");
        if (stream->size >= miniCutoff_) return chain(file_, fat_, stream->start, sectorSize_, stream->size, sectorOffset());

        // A small stream lies in the mini stream, which is the root entry's stream.
        if (entries_.empty() || entries_.front().type != 5) Refuse("its compound document has no root entry");
        const Entry& root = entries_.front();
        if (root.size > file_.size()) Refuse("its mini stream is larger than the file");
        const std::string miniStream = chain(file_, fat_, root.start, sectorSize_, root.size, sectorOffset());
        std::vector<std::uint32_t> miniFat;
        const std::string miniFatBytes = chain(file_, fat_, firstMiniFat_, sectorSize_, file_.size(), sectorOffset(), true);
        for (std::size_t at = 0; at + 4 <= miniFatBytes.size(); at += 4) miniFat.push_back(Read(miniFatBytes, at, 4));
        return chain(miniStream, miniFat, stream->start, 64, stream->size, [](std::uint32_t sector) {
            return std::size_t{sector} * 64;
        });
    }

private:
    struct Entry {
        std::u16string name;
        std::uint32_t type;
        std::uint32_t start;
        std::uint64_t size;
    };

    std::function<std::size_t(std::uint32_t)> sectorOffset() const
    {
        return [size = sectorSize_](std::uint32_t sector) { return (std::size_t{sector} + 1) * size; };
    }

    std::string_view sector(std::uint32_t number) const
    {
        if (number >= sectorCount_) Refuse("its compound document names a sector past the end of the file");
        const std::size_t at = (std::size_t{number} + 1) * sectorSize_;
        return std::string_view(file_).substr(at, std::min(sectorSize_, file_.size() - at));
    }

    void readFat(std::uint32_t fatSectors, std::uint32_t difatSectors)
    {
        std::vector<std::uint32_t> fatSectorList;
        for (std::size_t i = 0; i < kHeaderFatEntries && fatSectorList.size() < fatSectors; ++i)
            fatSectorList.push_back(Read(file_, 76 + 4 * i, 4));
        std::uint32_t difat = Read(file_, 68, 4);
        const std::size_t perDifat = sectorSize_ / 4 - 1;
        for (std::uint32_t n = 0; n < difatSectors && fatSectorList.size() < fatSectors; ++n) {
            const std::string_view bytes = sector(difat);
            for (std::size_t i = 0; i < perDifat && fatSectorList.size() < fatSectors; ++i)
                fatSectorList.push_back(Read(bytes, 4 * i, 4));
            difat = Read(bytes, 4 * perDifat, 4);
        }
        if (fatSectorList.size() < fatSectors) Refuse("its allocation table is incomplete");
        for (std::uint32_t number : fatSectorList) {
            const std::string_view bytes = sector(number);
            for (std::size_t at = 0; at + 4 <= bytes.size(); at += 4) fat_.push_back(Read(bytes, at, 4));
        }
    }

    void readDirectory(std::uint32_t first)
    {
        const std::string directory = chain(file_, fat_, first, sectorSize_, file_.size(), sectorOffset(), true);
        for (std::size_t at = 0; at + kDirectoryEntryBytes <= directory.size(); at += kDirectoryEntryBytes) {
            const std::uint32_t nameBytes = Read(directory, at + 64, 2);
            const std::uint32_t type = Read(directory, at + 66, 1);
            if (nameBytes > 64 || nameBytes % 2 != 0) Refuse("a name in its compound document's directory is damaged");
            if (type != 0 && type != 1 && type != 2 && type != 5)
                Refuse("an entry of its compound document's directory is damaged");
            Entry entry{{}, type, Read(directory, at + 116, 4), Read(directory, at + 120, 4)};
            if (majorVersion_ == 4) entry.size |= std::uint64_t{Read(directory, at + 124, 4)} << 32;
            for (std::uint32_t i = 0; i + 2 <= nameBytes; i += 2) {
                const auto c = static_cast<char16_t>(Read(directory, at + i, 2));
                if (c == 0) break;
                entry.name += c;
            }
            entries_.push_back(std::move(entry));
        }
    }

    // The bytes of a chain of sectors of source, at most size of them; every sector within source,
    // no sector twice. whole: the chain's length is not known, all its sectors are taken.
    static std::string chain(const std::string& source, const std::vector<std::uint32_t>& table, std::uint32_t start,
                             std::size_t sectorBytes, std::uint64_t size,
                             const std::function<std::size_t(std::uint32_t)>& offset, bool whole = false)
    {
        std::string bytes;
        std::vector<bool> seen(table.size());
        for (std::uint32_t sector = start; sector != kEndOfChain && (whole || bytes.size() < size);) {
            if (sector == kFreeSector && whole && bytes.empty()) break;  // no such chain
            if (sector >= table.size() || seen[sector]) Refuse("a chain of its compound document is damaged");
            seen[sector] = true;
            const std::size_t at = offset(sector);
            if (at >= source.size()) Refuse("its compound document names a sector past the end of the file");
            bytes.append(source, at, std::min(sectorBytes, source.size() - at));
            sector = table[sector];
        }
        if (!whole) {
            if (bytes.size() < size) Refuse("a stream of its compound document is cut short");
            bytes.resize(static_cast<std::size_t>(size));
        }
        return bytes;
    }

    const std::string& file_;
    std::size_t sectorSize_ = 512;
    std::size_t sectorCount_ = 0;
    std::uint32_t majorVersion_ = 3;
    std::uint32_t miniCutoff_ = 4096;
    std::uint32_t firstMiniFat_ = kEndOfChain;
    std::vector<std::uint32_t> fat_;
    std::vector<Entry> entries_;
};

struct Record {
    std::uint16_t id;
    std::string_view data;
};

// The records of stream from offset at to the EOF record (or the stream's end).
std::vector<Record> Substream(std::string_view stream, std::size_t at)
{
    std::vector<Record> records;
    while (at + 4 <= stream.size()) {
        const auto id = static_cast<std::uint16_t>(Read(stream, at, 2));
        const std::uint32_t length = Read(stream, at + 2, 2);
        if (length > stream.size() - at - 4) Refuse("a record runs past the end of its workbook stream");
        records.push_back({id, stream.substr(at + 4, length)});
        at += 4 + length;
        if (id == kEof) break;
    }
    return records;
}

std::string SheetName(std::string_view data, bool biff8)
{
    std::string name;
    if (data.size() < 7) return name;
    const std::uint32_t count = Read(data, 6, 1);
    const bool wide = biff8 && data.size() > 7 && (Read(data, 7, 1) & 1);
    const std::size_t start = biff8 ? 8 : 7;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t at = start + (wide ? 2 * i : i);
        if (at + (wide ? 2 : 1) > data.size()) break;
        AppendUtf8(name, Read(data, at, wide ? 2 : 1));
    }
    return name;
}

void CheckBiff(std::string_view stream, unsigned long long maxCells)
{
    const std::vector<Record> globals = Substream(stream, 0);
    // Only BIFF5 and BIFF8 name their worksheets as checked here; FreeXL judges the rest.
    if (globals.empty() || globals.front().id != kBof) return;
    const bool biff8 = globals.front().data.size() >= 2 && Read(globals.front().data, 0, 2) == 0x0600;
    unsigned long long total = 0;
    for (const Record& record : globals) {
        if (record.id != kBoundSheet) continue;
        const std::string name = SheetName(record.data, biff8);
        const std::uint32_t offset = Read(record.data, 0, 4);
        if (offset >= stream.size()) Refuse("its worksheet " + name + " begins past the end of its workbook stream");
        const std::vector<Record> sheet = Substream(stream, offset);
        if (sheet.empty() || sheet.front().id != kBof) Refuse("its worksheet " + name + " does not begin where the workbook says");
        for (const Record& dimensions : sheet) {
            if (dimensions.id != kDimensions) continue;
            const bool wideRows = dimensions.data.size() >= 14;
            const std::uint64_t rows = Read(dimensions.data, wideRows ? 4 : 2, wideRows ? 4 : 2);
            const std::uint64_t columns = Read(dimensions.data, wideRows ? 10 : 6, 2);
            if (rows > kMaxRows || columns > kMaxColumns)
                Refuse("its worksheet " + name + " declares " + std::to_string(rows) + " rows and " +
                       std::to_string(columns) + " columns, more than a worksheet has");
            const unsigned long long cells = std::max<std::uint64_t>(rows, 1) * std::max<std::uint64_t>(columns, 1);
            if (cells > maxCells) Refuse("its worksheet " + name + " spans more than " + std::to_string(maxCells) + " cells");
            total += cells;
            if (total > 4 * maxCells)
                Refuse("its worksheets span more than " + std::to_string(4 * maxCells) + " cells together");
        }
    }
}

}  // namespace

std::optional<std::string> CheckXlsWorkbook(const std::string& bytes, unsigned long long maxCells)
{
    try {
        const CompoundDocument document(bytes);
        CheckBiff(document.workbookStream(), maxCells);
    } catch (const Refusal& refusal) {
        return refusal.reason;
    }
    return std::nullopt;
}

}  // namespace trelvant
