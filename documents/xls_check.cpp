#include "documents/xls_check.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
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
constexpr std::uint16_t kContinue = 0x003C;
constexpr std::uint16_t kSst = 0x00FC;
constexpr std::uint16_t kFormat = 0x041E;
constexpr std::uint16_t kLabel = 0x0204;
constexpr std::uint16_t kLabelSst = 0x00FD;
constexpr std::uint16_t kRString = 0x00D6;
constexpr std::uint16_t kNumber = 0x0203;
constexpr std::uint16_t kRk = 0x027E;
constexpr std::uint16_t kMulRk = 0x00BD;
constexpr std::uint16_t kBoolErr = 0x0205;

// A worksheet's index is 16 bits wide wherever a workbook refers to one.
constexpr std::size_t kMaxWorksheets = 65535;

// The record buffer of FreeXL: it stops reading at a larger record.
constexpr std::size_t kMaxFreexlRecordBytes = 8224;

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

// A record of the workbook stream: where it starts, its type and its data.
struct Record {
    std::size_t offset;
    std::uint16_t id;
    std::string_view data;
};

// The records of the workbook stream, read once from its start: every worksheet's offset must be
// the start of one of them.
class BiffRecords {
public:
    explicit BiffRecords(std::string_view stream)
    {
        std::size_t at = 0;
        while (at + 4 <= stream.size()) {
            const auto id = static_cast<std::uint16_t>(Read(stream, at, 2));
            const std::uint32_t length = Read(stream, at + 2, 2);
            if (length > stream.size() - at - 4) {
                cut_ = true;
                break;
            }
            records_.push_back({at, id, stream.substr(at + 4, length)});
            at += 4 + length;
        }
    }

    const std::vector<Record>& all() const { return records_; }

    // The index of the record that starts at offset, or nullopt when none does.
    std::optional<std::size_t> startingAt(std::size_t offset) const
    {
        const auto found = std::lower_bound(records_.begin(), records_.end(), offset,
                                            [](const Record& record, std::size_t at) { return record.offset < at; });
        if (found == records_.end() || found->offset != offset) return std::nullopt;
        return static_cast<std::size_t>(found - records_.begin());
    }

    // The index of the last record of the substream that starts at first: its EOF record, or the
    // stream's last record.
    std::size_t end(std::size_t first) const
    {
        for (std::size_t i = first; i < records_.size(); ++i)
            if (records_[i].id == kEof) return i;
        if (cut_) Refuse("a record runs past the end of its workbook stream");
        return records_.size() - 1;
    }

private:
    std::vector<Record> records_;
    bool cut_ = false;  // a record runs past the stream's end
};

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

// FreeXL copies the texts of these records by the lengths they give, into and out of buffers of
// its own: a text that runs past its record makes it read past them.
void RefuseTextPastRecord()
{
    Refuse("a text in its workbook stream runs past the end of its record");
}

// A BIFF8 text after its character count: option flags, then a count of formatting runs and a
// size of extended data where the flags say so, then the characters. Returns the offset of the
// characters, sets their size in bytes and the size of what follows them.
std::size_t UnicodeTextStart(std::string_view data, std::size_t flagsAt, std::uint32_t characters,
                             std::uint64_t& bytes, std::uint64_t& trailing)
{
    if (flagsAt >= data.size()) RefuseTextPastRecord();
    const std::uint32_t flags = Read(data, flagsAt, 1);
    std::size_t at = flagsAt + 1;
    trailing = 0;
    if (flags & 0x08) {
        if (at + 2 > data.size()) RefuseTextPastRecord();
        trailing += std::uint64_t{Read(data, at, 2)} * 4;
        at += 2;
    }
    if (flags & 0x04) {
        if (at + 4 > data.size()) RefuseTextPastRecord();
        trailing += Read(data, at, 4);
        at += 4;
    }
    bytes = std::uint64_t{characters} * ((flags & 0x01) ? 2 : 1);
    return at;
}

void CheckText(std::string_view data, std::size_t countAt, int countBytes, bool biff8)
{
    if (countAt + countBytes > data.size()) RefuseTextPastRecord();
    const std::uint32_t characters = Read(data, countAt, countBytes);
    std::uint64_t bytes = characters;
    std::uint64_t trailing = 0;
    std::size_t at = countAt + countBytes;
    if (biff8) at = UnicodeTextStart(data, at, characters, bytes, trailing);
    if (bytes > data.size() - at) RefuseTextPastRecord();
}

// Do these characters, 8-bit or UTF-16LE, hold the character 0? FreeXL hands its texts back as
// C strings, cut there. An odd byte at the end of UTF-16 is no character.
bool HoldsNul(std::string_view characters, bool wide)
{
    if (!wide) return characters.find('\0') != std::string_view::npos;
    for (std::size_t at = 0; at + 2 <= characters.size(); at += 2)
        if (characters[at] == '\0' && characters[at + 1] == '\0') return true;
    return false;
}

// The same for the text of a cell record (its character count at countAt), as far as it lies
// within the record: an RSTRING, which FreeXL does not read, is not checked for its lengths.
bool TextHoldsNul(std::string_view data, std::size_t countAt, bool biff8)
{
    if (countAt + 2 > data.size()) return false;
    const std::uint32_t characters = Read(data, countAt, 2);
    std::size_t at = countAt + 2;
    bool wide = false;
    if (biff8) {
        if (at >= data.size()) return false;
        const std::uint32_t flags = Read(data, at, 1);
        wide = flags & 0x01;
        at += 1 + ((flags & 0x08) ? 2 : 0) + ((flags & 0x04) ? 4 : 0);
        if (at > data.size()) return false;
    }
    const std::uint64_t bytes = std::uint64_t{characters} * (wide ? 2 : 1);
    return HoldsNul(data.substr(at, static_cast<std::size_t>(std::min<std::uint64_t>(bytes, data.size() - at))), wide);
}

// The shared strings as FreeXL reads them: the SST record and the CONTINUE records after it, a
// text cut at a record's end going on after the option flags that start the next record, the
// formatting runs and extended data after a text skipped, into the next record where they run on.
class SharedStringsCheck {
public:
    void sst(std::string_view data)
    {
        if (started_) Refuse("its shared strings are damaged");
        started_ = true;
        if (data.size() < 8) Refuse("its shared strings are damaged");
        count_ = Read(data, 4, 4);
        if (count_ > kMaxSharedStrings) return;  // FreeXL refuses such a count itself
        texts(data, 8);
    }

    void continued(std::string_view data)
    {
        if (!started_ || stopped_ || count_ > kMaxSharedStrings) return;
        std::uint64_t at = 0;
        if (pending_ > 0) {
            if (data.empty()) Refuse("its shared strings are damaged");
            const bool wide = Read(data, 0, 1) & 0x01;
            const std::uint64_t bytes = pending_ * (wide ? 2 : 1);
            if (bytes > data.size() - 1) Refuse("its shared strings are damaged");
            if (pendingNul_ || HoldsNul(data.substr(1, static_cast<std::size_t>(bytes)), wide))
                withNul_.push_back(index_);
            pendingNul_ = false;
            at = 1 + bytes + pendingTrailing_;
            // FreeXL forgets what of the trailing data runs on into a further record.
            skip_ = 0;
            pending_ = 0;
            ++index_;
        }
        texts(data, at);
    }

    // Does the shared string of this index hold the character 0?
    bool holdsNul(std::uint64_t index) const { return std::binary_search(withNul_.begin(), withNul_.end(), index); }

private:
    void texts(std::string_view data, std::uint64_t at)
    {
        for (; index_ < count_; ++index_) {
            if (at >= data.size()) return;
            at += skip_;
            if (at + 2 > data.size()) Refuse("its shared strings are damaged");
            const std::uint32_t characters = Read(data, static_cast<std::size_t>(at), 2);
            std::uint64_t bytes = 0;
            std::uint64_t trailing = 0;
            std::size_t start = 0;
            try {
                start = UnicodeTextStart(data, static_cast<std::size_t>(at) + 2, characters, bytes, trailing);
            } catch (const Refusal&) {
                Refuse("its shared strings are damaged");
            }
            const bool wide = bytes > characters;
            if (bytes > data.size() - start) {
                // Cut at the record's end: the rest follows in the next record, over a half
                // character left at the end of this one.
                pending_ = characters - (wide ? (data.size() - start) / 2 : data.size() - start);
                pendingTrailing_ = trailing;
                pendingNul_ = HoldsNul(data.substr(start), wide);
                return;
            }
            if (characters == 0) {
                stopped_ = true;  // FreeXL refuses an empty shared string
                return;
            }
            if (HoldsNul(data.substr(start, static_cast<std::size_t>(bytes)), wide)) withNul_.push_back(index_);
            at = start + bytes + trailing;
            skip_ = at >= data.size() ? at - data.size() : 0;
        }
    }

    static constexpr std::uint64_t kMaxSharedStrings = 1024 * 1024;

    bool started_ = false;
    bool stopped_ = false;
    std::uint64_t count_ = 0;
    std::uint64_t index_ = 0;
    std::uint64_t skip_ = 0;             // trailing data of the last text that runs into this record
    std::uint64_t pending_ = 0;          // characters of a cut text still to come
    std::uint64_t pendingTrailing_ = 0;  // the trailing data after them
    bool pendingNul_ = false;            // the part of the cut text read so far holds the character 0
    std::vector<std::uint64_t> withNul_;  // the indexes of the texts holding the character 0, ascending
};

// The records FreeXL reads, in its order, up to where it stops: a record of type and size 0, or
// one larger than its record buffer. Returns the index of that record, or the count of records.
std::size_t CheckTexts(const BiffRecords& records, bool biff8, SharedStringsCheck& strings)
{
    std::uint16_t previous = 0;
    for (std::size_t i = 0; i < records.all().size(); ++i) {
        const Record& record = records.all()[i];
        if ((record.id == 0 && record.data.empty()) || record.data.size() > kMaxFreexlRecordBytes) return i;
        if (record.id == kContinue) {
            if (previous == kSst) strings.continued(record.data);
            continue;
        }
        previous = record.id;
        switch (record.id) {
        case kSst:
            strings.sst(record.data);
            break;
        case kBoundSheet:
            CheckText(record.data, 6, 1, biff8);
            break;
        case kFormat:
            CheckText(record.data, 2, biff8 ? 2 : 1, biff8);
            break;
        case kLabel:
            CheckText(record.data, 6, 2, biff8);
            break;
        default:
            break;
        }
    }
    return records.all().size();
}

// The first cell, by row and then column, of the records first to last of a worksheet that shows
// a text holding the character 0. FreeXL fills the cells in the records' order, a later value of a
// cell replacing the earlier one; it gives no value to an RSTRING, which is noted all the same.
std::optional<XlsCell> FirstCellWithNul(const std::vector<Record>& all, std::size_t first, std::size_t last, bool biff8,
                                        const SharedStringsCheck& strings)
{
    std::set<std::pair<std::uint32_t, std::uint32_t>> cells;  // (row, column) of the cells showing one
    for (std::size_t i = first; i <= last; ++i) {
        const std::string_view data = all[i].data;
        if (data.size() < 4) continue;
        const std::uint32_t row = Read(data, 0, 2);
        const std::uint32_t column = Read(data, 2, 2);
        bool holdsNul = false;
        switch (all[i].id) {
        case kLabel:
        case kRString:
            holdsNul = TextHoldsNul(data, 6, biff8);
            break;
        case kLabelSst:
            if (!biff8) continue;  // FreeXL reads shared strings of BIFF8 alone
            holdsNul = data.size() >= 10 && strings.holdsNul(Read(data, 6, 4));
            break;
        case kNumber:
        case kRk:
        case kBoolErr:
            break;
        case kMulRk:
            // One value of 6 bytes a column, as FreeXL counts them.
            for (std::size_t at = 4, c = column; at + 6 < data.size(); at += 6, ++c)
                cells.erase({row, static_cast<std::uint16_t>(c)});
            continue;
        default:
            continue;
        }
        if (holdsNul)
            cells.insert({row, column});
        else
            cells.erase({row, column});
    }
    if (cells.empty()) return std::nullopt;
    return XlsCell{cells.begin()->first, cells.begin()->second};
}

struct SheetPlace {
    std::string name;
    std::size_t first;  // the index of its BOF record
};

XlsCheck CheckBiff(std::string_view stream, unsigned long long maxCells)
{
    const BiffRecords records(stream);
    const std::vector<Record>& all = records.all();
    std::vector<std::string> names;
    // Only BIFF5 and BIFF8 name their worksheets as checked here; FreeXL judges the rest.
    if (all.empty() || all.front().id != kBof) return {};
    const bool biff8 = all.front().data.size() >= 2 && Read(all.front().data, 0, 2) == 0x0600;
    const std::size_t globalsEnd = records.end(0);

    std::vector<SheetPlace> sheets;
    for (std::size_t i = 0; i <= globalsEnd; ++i) {
        const Record& record = all[i];
        if (record.id != kBoundSheet) continue;
        if (sheets.size() == kMaxWorksheets)
            Refuse("it names more than " + std::to_string(kMaxWorksheets) + " worksheets, more than a workbook holds");
        const std::string name = SheetName(record.data, biff8);
        const std::uint32_t offset = Read(record.data, 0, 4);
        if (offset >= stream.size()) Refuse("its worksheet " + name + " begins past the end of its workbook stream");
        const std::optional<std::size_t> first = records.startingAt(offset);
        if (!first || *first <= globalsEnd || all[*first].id != kBof)
            Refuse("its worksheet " + name + " does not begin where the workbook says");
        names.push_back(name);
        sheets.push_back({name, *first});
    }

    // In the stream's order, each worksheet's records end before the next one begins: no record
    // is read twice, however many worksheets name it.
    std::vector<const SheetPlace*> order;
    for (const SheetPlace& sheet : sheets) order.push_back(&sheet);
    std::stable_sort(order.begin(), order.end(), [](const SheetPlace* a, const SheetPlace* b) { return a->first < b->first; });
    unsigned long long total = 0;
    std::size_t previousEnd = globalsEnd;
    for (std::size_t n = 0; n < order.size(); ++n) {
        const SheetPlace& sheet = *order[n];
        if (n > 0 && sheet.first == order[n - 1]->first)
            Refuse("its worksheets " + order[n - 1]->name + " and " + sheet.name + " begin at the same place");
        if (sheet.first <= previousEnd)
            Refuse("its worksheet " + sheet.name + " begins inside its worksheet " + order[n - 1]->name);
        const std::size_t end = records.end(sheet.first);
        for (std::size_t i = sheet.first; i <= end; ++i) {
            const Record& dimensions = all[i];
            if (dimensions.id != kDimensions) continue;
            const bool wideRows = dimensions.data.size() >= 14;
            const std::uint64_t rows = Read(dimensions.data, wideRows ? 4 : 2, wideRows ? 4 : 2);
            const std::uint64_t columns = Read(dimensions.data, wideRows ? 10 : 6, 2);
            if (rows > kMaxRows || columns > kMaxColumns)
                Refuse("its worksheet " + sheet.name + " declares " + std::to_string(rows) + " rows and " +
                       std::to_string(columns) + " columns, more than a worksheet has");
            const unsigned long long cells = std::max<std::uint64_t>(rows, 1) * std::max<std::uint64_t>(columns, 1);
            if (cells > maxCells)
                Refuse("its worksheet " + sheet.name + " spans more than " + std::to_string(maxCells) + " cells");
            total += cells;
            if (total > 4 * maxCells)
                Refuse("its worksheets span more than " + std::to_string(4 * maxCells) + " cells together");
        }
        previousEnd = end;
    }

    SharedStringsCheck strings;
    const std::size_t stop = CheckTexts(records, biff8, strings);
    XlsCheck check;
    for (const SheetPlace& sheet : sheets)
        check.cellsWithNul.push_back(sheet.first < stop ? FirstCellWithNul(all, sheet.first,
                                                                           std::min(records.end(sheet.first), stop - 1),
                                                                           biff8, strings)
                                                        : std::nullopt);
    check.worksheets = std::move(names);
    return check;
}

}  // namespace

XlsCheck CheckXlsWorkbook(const std::string& bytes, unsigned long long maxCells)
{
    try {
        const CompoundDocument document(bytes);
        return CheckBiff(document.workbookStream(), maxCells);
    } catch (const Refusal& refusal) {
        XlsCheck check;
        check.refusal = refusal.reason;
        return check;
    }
}

}  // namespace trelvant
