#include "image/image_dump.h"

#include "documents/pargen_document.h"
#include "image/bank_files.h"
#include "platform/json_text.h"

#include <algorithm>
#include <array>
#include <functional>
#include <tuple>
#include <utility>

namespace trelvant {
namespace {

// Bank 1.
constexpr std::size_t kReceiveFrameTable = 0;  // 6 bytes a frame; CAN 2.0A: 2 bytes an identifier
constexpr std::size_t kReceiveFrameRoom = 250;  // the frames a frame list holds; TimeOut_Ser follows at 1605
constexpr std::size_t kIdentifierBitmap = 4096;  // CAN 2.0A: a bit an identifier
constexpr std::size_t kIdentifierCount = 2048;
constexpr std::uint16_t kNoEntry = 0xFFFF;       // what the build leaves in an identifier's entry
constexpr std::size_t kReceiveMapTable = 4352;  // 4 bytes a row, up to the parameter block
constexpr std::size_t kReceiveMapRoom = (16000 - kReceiveMapTable) / 4;
constexpr std::size_t kCanType = 16001;
constexpr std::size_t kCounts = 16012;
constexpr std::size_t kDateWord = 16020;
constexpr std::size_t kTimeWord = 16022;
constexpr std::size_t kDeleteFlags = 16100;  // 32 bytes, a bit a receive frame
// Bank 2.
constexpr std::size_t kTransmitIdentifiers = 0;  // 4 bytes a frame, up to offset 999
constexpr std::size_t kTransmitFrameRoom = 1000 / 4;
constexpr std::size_t kStandardReceiveFrames = 0;    // CAN 2.0A: 3 bytes a frame
constexpr std::size_t kStandardTransmitFrames = 750;  // CAN 2.0A: 3 bytes a frame
constexpr std::size_t kStandardFrameRoom = 250;
constexpr std::size_t kTransmitMapTable = 1500;  // 5 bytes a row, up to the end of the bank
constexpr std::size_t kTransmitMapRoom = (ConfigurationImage::kBankSize - kTransmitMapTable) / 5;

enum class Kind {
    CanBitRate,     // the list position + 1
    CanType,        // 1 in the J1939 layout, 0 in the CAN 2.0A layout
    SerialBitRate,  // the list position
    Parity,         // the list position
    Number,         // shown with its unit, if any
    Flag,           // 0 off, 1 on
    SerialType,     // 0 RS232, 1 RS485
};

struct Field {
    const char* name;
    std::size_t offset;
    int width;
    Kind kind;
    const char* unit = "";
};

// In the order of the pargen.xml elements they are built from.
const Field kFields[] = {
    {"BaudRateCAN", 16000, 1, Kind::CanBitRate},
    {"CANType", 16001, 1, Kind::CanType},
    {"Baud_Ser", 16002, 1, Kind::SerialBitRate},
    {"Par_Ser", 16003, 1, Kind::Parity},
    {"IDDev_Ser", 16004, 1, Kind::Number},
    {"TimeOut_Ser", 1605, 2, Kind::Number, "ms"},  // inside the receive frame area, far from the rest
    {"TimeOut_Data", 16007, 1, Kind::Number, "s"},
    {"TO_ModReg", 16008, 2, Kind::Number},
    {"Peer_to_Peer", 16010, 1, Kind::Flag},
    {"Serial", 16099, 1, Kind::SerialType},
    {"Write_J1939", 16030, 1, Kind::Flag},
    {"En_Rem_Req", 16031, 1, Kind::Flag},
    {"Pri_Des", 16032, 2, Kind::Number},
    {"PGN1", 16034, 2, Kind::Number},
    {"PGN2", 16036, 2, Kind::Number},
    {"SA", 16038, 2, Kind::Number},
};

// What a stored list position means: the item with its unit, or why it names none.
template <std::size_t N>
std::pair<std::string, bool> listItem(const std::array<std::string_view, N>& items, long position, const char* unit)
{
    if (position >= 0 && position < static_cast<long>(N)) return {std::string(items[position]) + unit, false};
    return {"not in the list of " + std::to_string(N), true};
}

DumpParameter decodeParameter(const ConfigurationImage& image, const Field& field)
{
    DumpParameter p{field.name, field.offset, field.width, 0, "", false};
    p.stored = field.width == 1 ? image.get8(1, field.offset) : image.get16(1, field.offset);
    const long value = static_cast<long>(p.stored);
    switch (field.kind) {
    case Kind::CanBitRate:
        std::tie(p.meaning, p.marked) = listItem(kCanBitRates, value - 1, " kbit/s");
        if (value == 0) p.meaning = "no bit rate chosen";
        break;
    case Kind::CanType:
        p.marked = value > 1;
        p.meaning = value == 1   ? "29-bit identifiers"
                    : value == 0 ? "11-bit identifiers: the CAN 2.0A layout of a build without pargen.xml, which "
                                   "stores no other parameter and no counts"
                                 : "neither 1, which every build with pargen.xml writes, nor 0 (CAN 2.0A)";
        break;
    case Kind::SerialBitRate:
        std::tie(p.meaning, p.marked) = listItem(kSerialBitRates, value, " bit/s");
        break;
    case Kind::Parity:
        std::tie(p.meaning, p.marked) = listItem(kParities, value, "");
        break;
    case Kind::Number:
        if (*field.unit) p.meaning = std::to_string(value) + " " + field.unit;
        break;
    case Kind::Flag:
    case Kind::SerialType: {
        const bool serial = field.kind == Kind::SerialType;
        p.marked = value > 1;
        p.meaning = p.marked ? "neither 0 nor 1" : value == 1 ? (serial ? "RS485" : "on") : (serial ? "RS232" : "off");
        break;
    }
    }
    return p;
}

DumpDate decodeDate(std::uint16_t word)
{
    DumpDate d{word, word >> 11, word >> 7 & 0x0F, word & 0x7F, false};
    d.marked = d.day == 0 || d.month == 0 || d.month > 12 || d.year > 99;
    return d;
}

DumpTime decodeTime(std::uint16_t word)
{
    DumpTime t{word, word & 0x1F, word >> 5 & 0x3F, (word >> 11) * 2, false};
    t.marked = t.hour > 23 || t.minute > 59 || t.second > 59;
    return t;
}

template <typename Row>
DumpTable<Row> table(std::size_t count, std::size_t room, const std::function<Row(std::size_t)>& row)
{
    DumpTable<Row> t{static_cast<std::uint16_t>(std::min<std::size_t>(count, 0xFFFF)), room, {}};
    const std::size_t shown = std::min<std::size_t>(count, room);
    for (std::size_t i = 0; i < shown; ++i) t.rows.push_back(row(i));
    return t;
}

DumpMapRow mapRow(const ConfigurationImage& image, int bank, std::size_t at, std::size_t frames)
{
    DumpMapRow r;
    r.index = image.get16(bank, at);
    r.nrPdo = image.get8(bank, at + 2);
    r.frameExists = r.nrPdo >= 1 && r.nrPdo <= frames;
    r.posComp = image.get8(bank, at + 3);
    return r;
}

// CAN 2.0A: the rows of a table up to its last that holds a byte other than zero.
std::size_t rowsInUse(const ConfigurationImage& image, int bank, std::size_t at, std::size_t width, std::size_t room)
{
    const auto bytes = image.bank(bank).subspan(at, width * room);
    const auto last = std::find_if(bytes.rbegin(), bytes.rend(), [](std::uint8_t b) { return b != 0; });
    const auto used = static_cast<std::size_t>(bytes.rend() - last);
    return (used + width - 1) / width;
}

bool listed(const ConfigurationImage& image, std::size_t identifier)
{
    return (image.get8(1, kIdentifierBitmap + identifier / 8) >> (identifier % 8) & 1) != 0;
}

void decodeJ1939(const ConfigurationImage& image, ImageDump& d)
{
    d.receiveFrames = table<DumpReceiveFrame>(image.get16(1, kCounts), kReceiveFrameRoom, [&](std::size_t i) {
        const std::size_t at = kReceiveFrameTable + 6 * i;
        DumpReceiveFrame f{image.get32(1, at), image.get8(1, at + 4), image.get8(1, at + 5),
                           (image.get8(1, kDeleteFlags + i / 8) >> (i % 8) & 1) != 0, std::nullopt};
        for (std::size_t earlier = 0; earlier < i && !f.sameAs; ++earlier)
            if (image.get32(1, kReceiveFrameTable + 6 * earlier) == f.pgn &&
                image.get8(1, kReceiveFrameTable + 6 * earlier + 4) == f.device)
                f.sameAs = earlier;
        return f;
    });
    d.transmitFrames = table<DumpTransmitFrame>(image.get16(1, kCounts + 2), kTransmitFrameRoom, [&](std::size_t i) {
        const std::uint32_t id = image.get32(2, kTransmitIdentifiers + 4 * i);
        return DumpTransmitFrame{id, id >> 26 & 7, id >> 24 & 1, id >> 8 & 0x3FFFF, id & 0xFF, (id & 0xE2000000u) != 0};
    });
    const std::size_t receiveFrames = d.receiveFrames.rows.size();
    const std::size_t transmitFrames = d.transmitFrames.rows.size();
    d.receiveMap = table<DumpMapRow>(image.get16(1, kCounts + 4), kReceiveMapRoom, [&](std::size_t i) {
        return mapRow(image, 1, kReceiveMapTable + 4 * i, receiveFrames);
    });
    d.transmitMap = table<DumpMapRow>(image.get16(1, kCounts + 6), kTransmitMapRoom, [&](std::size_t i) {
        const std::size_t at = kTransmitMapTable + 5 * i;
        DumpMapRow r = mapRow(image, 2, at, transmitFrames);
        r.writeJ1939 = image.get8(2, at + 4);
        return r;
    });
}

// The CAN 2.0A layout: the identifier index and its bitmap in bank 1, the frames in bank 2, the
// byte maps where the J1939 layout has them; no counts.
void decodeCan20A(const ConfigurationImage& image, ImageDump& d)
{
    const auto entryOf = [&](std::size_t identifier) { return image.get16(1, kReceiveFrameTable + 2 * identifier); };
    // Every frame of a build has its entry: the last of an identifier takes it, so the last frame
    // keeps its own, and the frames are as many as the highest entry names.
    std::size_t receiveCount = 0;
    for (std::size_t identifier = 0; identifier < kIdentifierCount; ++identifier)
        if (listed(image, identifier) && entryOf(identifier) != kNoEntry)
            receiveCount = std::max<std::size_t>(receiveCount, entryOf(identifier) + 1u);
    d.standardReceiveFrames = table<DumpStandardFrame>(receiveCount, kStandardFrameRoom, [&](std::size_t i) {
        const std::size_t at = kStandardReceiveFrames + 3 * i;
        DumpStandardFrame f{image.get16(2, at), image.get8(2, at + 2), std::nullopt, true};
        if (f.identifier < kIdentifierCount && listed(image, f.identifier) && entryOf(f.identifier) != kNoEntry)
            f.entry = entryOf(f.identifier);
        f.marked = f.entry != i;
        return f;
    });
    const auto& frames = d.standardReceiveFrames.rows;
    for (std::size_t identifier = 0; identifier < kIdentifierCount; ++identifier) {
        const std::uint16_t entry = entryOf(identifier);
        const bool isListed = listed(image, identifier);
        if (!isListed && entry == kNoEntry) continue;
        d.identifierIndex.push_back({static_cast<std::uint16_t>(identifier), isListed, entry,
                                     entry < frames.size() && frames[entry].identifier == identifier});
    }

    const std::size_t receiveMapRows = rowsInUse(image, 1, kReceiveMapTable, 4, kReceiveMapRoom);
    const std::size_t transmitMapRows = rowsInUse(image, 2, kTransmitMapTable, 5, kTransmitMapRoom);
    std::size_t transmitCount = rowsInUse(image, 2, kStandardTransmitFrames, 3, kStandardFrameRoom);
    for (std::size_t i = 0; i < transmitMapRows; ++i) {
        const std::size_t named = image.get8(2, kTransmitMapTable + 5 * i + 2);
        if (named <= kStandardFrameRoom) transmitCount = std::max(transmitCount, named);
    }
    d.standardTransmitFrames = table<DumpStandardFrame>(transmitCount, kStandardFrameRoom, [&](std::size_t i) {
        const std::size_t at = kStandardTransmitFrames + 3 * i;
        const std::uint16_t identifier = image.get16(2, at);
        return DumpStandardFrame{identifier, image.get8(2, at + 2), std::nullopt, identifier >= kIdentifierCount};
    });

    const std::size_t receiveFrames = frames.size();
    const std::size_t transmitFrames = d.standardTransmitFrames.rows.size();
    d.receiveMap = table<DumpMapRow>(receiveMapRows, kReceiveMapRoom, [&](std::size_t i) {
        return mapRow(image, 1, kReceiveMapTable + 4 * i, receiveFrames);
    });
    d.transmitMap = table<DumpMapRow>(transmitMapRows, kTransmitMapRoom, [&](std::size_t i) {
        const std::size_t at = kTransmitMapTable + 5 * i;
        DumpMapRow r = mapRow(image, 2, at, transmitFrames);
        r.writeJ1939 = image.get8(2, at + 4);
        return r;
    });
}

// ---- Text ----

using Rows = std::vector<std::vector<std::string>>;

std::string withMark(std::string text, bool marked)
{
    return marked ? text + "!" : text;
}

std::string hex(std::uint32_t value, int digits)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    do {
        text.insert(text.begin(), kDigits[value & 0x0F]);
        value >>= 4;
    } while (value != 0 || static_cast<int>(text.size()) < digits);
    return "0x" + text;
}

// "65226 (0xFECA)"
std::string pgnText(std::uint32_t pgn)
{
    return std::to_string(pgn) + " (" + hex(pgn, 4) + ")";
}

// "291 (0x123)"
std::string identifierText(std::uint32_t identifier)
{
    return std::to_string(identifier) + " (" + hex(identifier, 3) + ")";
}

std::string choiceText(int choice)
{
    const std::optional<std::string> name = ByteChoiceName(choice);
    return name ? *name : withMark(std::to_string(choice), true);
}

// Columns left-aligned, two blanks apart, no blanks at a line's end.
void columns(std::string& out, const Rows& rows)
{
    std::vector<std::size_t> widths;
    for (const auto& row : rows)
        for (std::size_t c = 0; c < row.size(); ++c) {
            if (widths.size() <= c) widths.push_back(0);
            widths[c] = std::max(widths[c], row[c].size());
        }
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            line += row[c];
            if (c + 1 < row.size()) line += std::string(widths[c] - row[c].size() + 2, ' ');
        }
        line.erase(line.find_last_not_of(' ') + 1);
        out += line + "\n";
    }
}

// A table's title, its overflow if any, and its rows under the header, or "none".
template <typename Row>
void section(std::string& out, const std::string& title, const DumpTable<Row>& t, Rows rows)
{
    out += "\n" + title + ": " + std::to_string(t.count) + (t.count == 1 ? " row" : " rows") + "\n";
    if (t.overflows())
        out += "the table holds " + std::to_string(t.room) + " rows: the " + std::to_string(t.count - t.room) +
               " beyond them are not shown!\n";
    if (t.rows.empty()) return;
    columns(out, rows);
}

// frameNames: the frames of the map's direction as the Frame column shows them.
Rows mapRows(const DumpTable<DumpMapRow>& map, const std::vector<std::string>& frameNames, bool transmit,
             const char* frameColumn)
{
    Rows rows{{"Row", "Index", "NrPdo", frameColumn, "PosComp", "High", "Low"}};
    if (transmit) rows[0].push_back("Write J1939");
    for (std::size_t i = 0; i < map.rows.size(); ++i) {
        const DumpMapRow& r = map.rows[i];
        rows.push_back({std::to_string(i + 1), std::to_string(r.index), std::to_string(r.nrPdo),
                        r.frameExists ? frameNames[r.nrPdo - 1u] : withMark("none", true),
                        std::to_string(r.posComp), choiceText(r.high()), choiceText(r.low())});
        if (transmit) rows.back().push_back(withMark(std::to_string(r.writeJ1939.value_or(0)), r.writeJ1939 > 1));
    }
    return rows;
}

bool anyMarked(const ImageDump& d)
{
    const auto mapMarked = [](const DumpTable<DumpMapRow>& map) {
        return map.overflows() || std::any_of(map.rows.begin(), map.rows.end(), [](const DumpMapRow& r) {
                   return !r.frameExists || r.high() > 8 || r.low() > 8 || r.writeJ1939 > 1;
               });
    };
    bool marked = d.date.marked || d.time.marked || d.receiveFrames.overflows() || d.transmitFrames.overflows() ||
                  d.standardReceiveFrames.overflows() || d.standardTransmitFrames.overflows() ||
                  mapMarked(d.receiveMap) || mapMarked(d.transmitMap);
    for (const DumpParameter& p : d.parameters) marked = marked || p.marked;
    for (std::size_t i = 0; i < d.receiveFrames.rows.size(); ++i)
        marked = marked || d.receiveFrames.rows[i].position != i || d.receiveFrames.rows[i].sameAs;
    for (const DumpTransmitFrame& f : d.transmitFrames.rows) marked = marked || f.marked;
    for (const DumpIdentifierEntry& e : d.identifierIndex) marked = marked || e.marked();
    for (const DumpStandardFrame& f : d.standardReceiveFrames.rows) marked = marked || f.marked;
    for (const DumpStandardFrame& f : d.standardTransmitFrames.rows) marked = marked || f.marked;
    return marked;
}

void j1939Text(std::string& out, const ImageDump& d)
{
    Rows receive{{"Frame", "PGN", "Device", "Position", "Delete"}};
    std::vector<std::string> receivePgns;
    std::vector<std::string> sameFrames;
    for (std::size_t i = 0; i < d.receiveFrames.rows.size(); ++i) {
        const DumpReceiveFrame& f = d.receiveFrames.rows[i];
        receivePgns.push_back(pgnText(f.pgn));
        receive.push_back({std::to_string(i + 1), withMark(pgnText(f.pgn), f.sameAs.has_value()),
                           std::to_string(f.device), withMark(std::to_string(f.position), f.position != i),
                           f.deleted ? "Y" : "N"});
        if (f.sameAs)
            sameFrames.push_back("frame " + std::to_string(i + 1) + " has the PGN and device of frame " +
                                 std::to_string(*f.sameAs + 1) + ": the device takes them into one row only!\n");
    }
    section(out, "Receive frames (bank 1 from offset 0, 6 bytes each)", d.receiveFrames, receive);
    for (const std::string& line : sameFrames) out += line;

    Rows transmit{{"Frame", "Identifier", "Priority", "Data page", "PGN", "Device"}};
    std::vector<std::string> transmitPgns;
    for (std::size_t i = 0; i < d.transmitFrames.rows.size(); ++i) {
        const DumpTransmitFrame& f = d.transmitFrames.rows[i];
        transmitPgns.push_back(pgnText(f.pgn));
        transmit.push_back({std::to_string(i + 1), withMark(hex(f.identifier, 8), f.marked), std::to_string(f.priority),
                            std::to_string(f.dataPage), pgnText(f.pgn), std::to_string(f.device)});
    }
    section(out, "Transmit frames (bank 2 from offset 0, 4 bytes each)", d.transmitFrames, transmit);

    section(out, "Receive map (bank 1 from offset 4352, 4 bytes each)", d.receiveMap,
            mapRows(d.receiveMap, receivePgns, false, "Frame PGN"));
    section(out, "Transmit map (bank 2 from offset 1500, 5 bytes each)", d.transmitMap,
            mapRows(d.transmitMap, transmitPgns, true, "Frame PGN"));
}

void can20AText(std::string& out, const ImageDump& d)
{
    const auto frameText = [](std::optional<std::uint16_t> frame) {
        return frame && *frame != kNoEntry ? std::to_string(*frame + 1u) : std::string("none");
    };
    out += "\nIdentifier index (bank 1 from offset 0, 2 bytes an identifier; bitmap from offset 4096): " +
           std::to_string(d.identifierIndex.size()) + (d.identifierIndex.size() == 1 ? " identifier" : " identifiers") +
           "\n";
    if (!d.identifierIndex.empty()) {
        Rows index{{"Identifier", "Bitmap", "Frame"}};
        for (const DumpIdentifierEntry& e : d.identifierIndex)
            index.push_back({identifierText(e.identifier), withMark(e.listed ? "set" : "clear", !e.listed),
                             withMark(frameText(e.entry), !e.namesItsFrame)});
        columns(out, index);
    }

    Rows receive{{"Frame", "Identifier", "Device", "Index entry"}};
    std::vector<std::string> receiveIdentifiers;
    for (std::size_t i = 0; i < d.standardReceiveFrames.rows.size(); ++i) {
        const DumpStandardFrame& f = d.standardReceiveFrames.rows[i];
        receiveIdentifiers.push_back(identifierText(f.identifier));
        receive.push_back({std::to_string(i + 1), withMark(identifierText(f.identifier), f.identifier >= kIdentifierCount),
                           std::to_string(f.device), withMark(frameText(f.entry), f.marked)});
    }
    section(out, "Receive frames (bank 2 from offset 0, 3 bytes each, as many as the identifier index names)",
            d.standardReceiveFrames, receive);

    Rows transmit{{"Frame", "Identifier", "Device"}};
    std::vector<std::string> transmitIdentifiers;
    for (std::size_t i = 0; i < d.standardTransmitFrames.rows.size(); ++i) {
        const DumpStandardFrame& f = d.standardTransmitFrames.rows[i];
        transmitIdentifiers.push_back(identifierText(f.identifier));
        transmit.push_back({std::to_string(i + 1), withMark(identifierText(f.identifier), f.marked), std::to_string(f.device)});
    }
    section(out, "Transmit frames (bank 2 from offset 750, 3 bytes each, up to the last not all zero or named by a map row)",
            d.standardTransmitFrames, transmit);

    section(out, "Receive map (bank 1 from offset 4352, 4 bytes each, up to the last row not all zero)", d.receiveMap,
            mapRows(d.receiveMap, receiveIdentifiers, false, "Frame identifier"));
    section(out, "Transmit map (bank 2 from offset 1500, 5 bytes each, up to the last row not all zero)", d.transmitMap,
            mapRows(d.transmitMap, transmitIdentifiers, true, "Frame identifier"));
}

// ---- JSON ----

using Members = std::vector<std::pair<std::string, std::string>>;  // name, JSON value

std::string jsonBool(bool value)
{
    return value ? "true" : "false";
}

template <typename Number>
std::string jsonNumber(Number value)
{
    return std::to_string(value);
}

// {"a": 1, "b": 2} on one line.
std::string inlineObject(const Members& members)
{
    std::string out = "{";
    for (std::size_t i = 0; i < members.size(); ++i)
        out += (i ? ", " : "") + JsonString(members[i].first) + ": " + members[i].second;
    return out + "}";
}

// A member a line, indented below its parent.
std::string blockObject(const Members& members, const std::string& indent)
{
    std::string out = "{\n";
    for (std::size_t i = 0; i < members.size(); ++i)
        out += indent + "  " + JsonString(members[i].first) + ": " + members[i].second +
               (i + 1 < members.size() ? ",\n" : "\n");
    return out + indent + "}";
}

std::string blockArray(const std::vector<std::string>& items, const std::string& indent)
{
    if (items.empty()) return "[]";
    std::string out = "[\n";
    for (std::size_t i = 0; i < items.size(); ++i)
        out += indent + "  " + items[i] + (i + 1 < items.size() ? ",\n" : "\n");
    return out + indent + "]";
}

template <typename Row>
std::string jsonTable(const DumpTable<Row>& t, const std::function<Members(const Row&, std::size_t)>& row)
{
    std::vector<std::string> rows;
    for (std::size_t i = 0; i < t.rows.size(); ++i) rows.push_back(inlineObject(row(t.rows[i], i)));
    return blockObject({{"count", jsonNumber(t.count)}, {"room", jsonNumber(t.room)}, {"rows", blockArray(rows, "    ")}},
                       "  ");
}

std::string jsonChoice(int choice)
{
    const std::optional<std::string> name = ByteChoiceName(choice);
    return name ? JsonString(*name) : "null";
}

Members jsonMapRow(const DumpMapRow& r, std::size_t i)
{
    Members m{{"row", jsonNumber(i + 1)},        {"index", jsonNumber(r.index)},
              {"nrPdo", jsonNumber(r.nrPdo)},    {"frameExists", jsonBool(r.frameExists)},
              {"posComp", jsonNumber(r.posComp)}, {"high", jsonNumber(r.high())},
              {"low", jsonNumber(r.low())},      {"highByte", jsonChoice(r.high())},
              {"lowByte", jsonChoice(r.low())}};
    if (r.writeJ1939) m.emplace_back("writeJ1939", jsonNumber(*r.writeJ1939));
    return m;
}

}  // namespace

const DumpParameter* ImageDump::parameter(std::string_view name) const
{
    const auto it = std::find_if(parameters.begin(), parameters.end(), [&](const DumpParameter& p) { return p.name == name; });
    return it == parameters.end() ? nullptr : &*it;
}

std::optional<std::string> ByteChoiceName(int choice)
{
    if (choice == 0) return "none";
    if (choice >= 1 && choice <= 8) return "B" + std::to_string(choice);
    return std::nullopt;
}

ImageDump DumpConfigurationImage(const ConfigurationImage& image)
{
    ImageDump d;
    d.layout = image.get8(1, kCanType) == 0 ? DumpLayout::Can20A : DumpLayout::J1939;
    for (const Field& field : kFields)
        if (d.layout == DumpLayout::J1939 || field.offset == kCanType) d.parameters.push_back(decodeParameter(image, field));
    d.date = decodeDate(image.get16(1, kDateWord));
    d.time = decodeTime(image.get16(1, kTimeWord));
    if (d.layout == DumpLayout::J1939) decodeJ1939(image, d);
    else decodeCan20A(image, d);
    return d;
}

std::string DumpText(const ImageDump& d)
{
    std::string out;
    if (d.unfinishedBuild)
        out += "Unfinished build! The bank files' folder holds " + std::string(kUnfinishedBuildMarker) +
               ": its last build did not complete and the banks may come from two builds. Build again.\n\n";
    out += "Parameter block (bank 1)\n";
    Rows parameters{{"Offset", "Element", "Stored", "Meaning"}};
    for (const DumpParameter& p : d.parameters)
        parameters.push_back({std::to_string(p.offset), p.name, std::to_string(p.stored), withMark(p.meaning, p.marked)});
    columns(out, parameters);

    const auto two = [](int n) { return std::string(n < 10 ? "0" : "") + std::to_string(n); };
    out += "\nBuild (bank 1)\n";
    columns(out, {{"Offset", "Field", "Stored", "Meaning"},
                  {std::to_string(kDateWord), "Date", std::to_string(d.date.word),
                   withMark("day " + std::to_string(d.date.day) + ", month " + std::to_string(d.date.month) +
                                ", year " + two(d.date.year),
                            d.date.marked)},
                  {std::to_string(kTimeWord), "Time", std::to_string(d.time.word),
                   withMark(two(d.time.hour) + ":" + two(d.time.minute) + ":" + two(d.time.second), d.time.marked)}});

    if (d.layout == DumpLayout::J1939) j1939Text(out, d);
    else can20AText(out, d);

    if (anyMarked(d)) out += "\n! marks what no build from valid documents writes\n";
    return out;
}

std::string DumpJson(const ImageDump& d)
{
    Members parameters;
    for (const DumpParameter& p : d.parameters)
        parameters.emplace_back(p.name, inlineObject({{"offset", jsonNumber(p.offset)},
                                                      {"width", jsonNumber(p.width)},
                                                      {"stored", jsonNumber(p.stored)},
                                                      {"meaning", JsonString(p.meaning)},
                                                      {"marked", jsonBool(p.marked)}}));

    Members top = {
        {"layout", JsonString(d.layout == DumpLayout::J1939 ? "J1939" : "CAN 2.0A")},
        {"unfinishedBuild", jsonBool(d.unfinishedBuild)},
        {"parameters", blockObject(parameters, "  ")},
        {"buildDate", inlineObject({{"offset", jsonNumber(kDateWord)},
                                    {"word", jsonNumber(d.date.word)},
                                    {"day", jsonNumber(d.date.day)},
                                    {"month", jsonNumber(d.date.month)},
                                    {"year", jsonNumber(d.date.year)},
                                    {"marked", jsonBool(d.date.marked)}})},
        {"buildTime", inlineObject({{"offset", jsonNumber(kTimeWord)},
                                    {"word", jsonNumber(d.time.word)},
                                    {"hour", jsonNumber(d.time.hour)},
                                    {"minute", jsonNumber(d.time.minute)},
                                    {"second", jsonNumber(d.time.second)},
                                    {"marked", jsonBool(d.time.marked)}})},
    };
    const auto frameNumber = [](std::optional<std::size_t> frame) {
        return frame && *frame != kNoEntry ? jsonNumber(*frame + 1) : std::string("null");
    };
    if (d.layout == DumpLayout::J1939) {
        top.emplace_back("receiveFrames", jsonTable<DumpReceiveFrame>(d.receiveFrames, [&](const DumpReceiveFrame& f, std::size_t i) {
            return Members{{"frame", jsonNumber(i + 1)},
                           {"pgn", jsonNumber(f.pgn)},
                           {"device", jsonNumber(f.device)},
                           {"position", jsonNumber(f.position)},
                           {"delete", jsonBool(f.deleted)},
                           {"sameAs", frameNumber(f.sameAs)}};
        }));
        top.emplace_back("transmitFrames", jsonTable<DumpTransmitFrame>(d.transmitFrames, [](const DumpTransmitFrame& f, std::size_t i) {
            return Members{{"frame", jsonNumber(i + 1)},          {"identifier", jsonNumber(f.identifier)},
                           {"priority", jsonNumber(f.priority)}, {"dataPage", jsonNumber(f.dataPage)},
                           {"pgn", jsonNumber(f.pgn)},           {"device", jsonNumber(f.device)},
                           {"marked", jsonBool(f.marked)}};
        }));
    } else {
        std::vector<std::string> entries;
        for (const DumpIdentifierEntry& e : d.identifierIndex)
            entries.push_back(inlineObject({{"identifier", jsonNumber(e.identifier)},
                                            {"listed", jsonBool(e.listed)},
                                            {"entry", jsonNumber(e.entry)},
                                            {"frame", frameNumber(e.entry)},
                                            {"marked", jsonBool(e.marked())}}));
        top.emplace_back("identifierIndex", blockArray(entries, "  "));
        top.emplace_back("receiveFrames", jsonTable<DumpStandardFrame>(d.standardReceiveFrames, [&](const DumpStandardFrame& f, std::size_t i) {
            return Members{{"frame", jsonNumber(i + 1)},
                           {"identifier", jsonNumber(f.identifier)},
                           {"device", jsonNumber(f.device)},
                           {"entryFrame", f.entry ? frameNumber(*f.entry) : "null"},
                           {"marked", jsonBool(f.marked)}};
        }));
        top.emplace_back("transmitFrames", jsonTable<DumpStandardFrame>(d.standardTransmitFrames, [](const DumpStandardFrame& f, std::size_t i) {
            return Members{{"frame", jsonNumber(i + 1)},
                           {"identifier", jsonNumber(f.identifier)},
                           {"device", jsonNumber(f.device)},
                           {"marked", jsonBool(f.marked)}};
        }));
    }
    top.emplace_back("receiveMap", jsonTable<DumpMapRow>(d.receiveMap, jsonMapRow));
    top.emplace_back("transmitMap", jsonTable<DumpMapRow>(d.transmitMap, jsonMapRow));
    return blockObject(top, "") + "\n";
}

}  // namespace trelvant
