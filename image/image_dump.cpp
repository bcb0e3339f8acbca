#include "image/image_dump.h"

#include "documents/pargen_document.h"
#include "platform/json_text.h"

#include <algorithm>
#include <array>
#include <functional>
#include <tuple>
#include <utility>

namespace trelvant {
namespace {

// Bank 1.
constexpr std::size_t kReceiveFrameTable = 0;  // 6 bytes a frame, up to offset 4095
constexpr std::size_t kReceiveFrameRoom = 4096 / 6;
constexpr std::size_t kReceiveMapTable = 4352;  // 4 bytes a row, up to the parameter block
constexpr std::size_t kReceiveMapRoom = (16000 - kReceiveMapTable) / 4;
constexpr std::size_t kCounts = 16012;
constexpr std::size_t kDateWord = 16020;
constexpr std::size_t kTimeWord = 16022;
constexpr std::size_t kDeleteFlags = 16100;  // 32 bytes, a bit a receive frame
constexpr std::size_t kDeleteFlagCount = 256;
// Bank 2.
constexpr std::size_t kTransmitIdentifiers = 0;  // 4 bytes a frame, up to offset 999
constexpr std::size_t kTransmitFrameRoom = 1000 / 4;
constexpr std::size_t kTransmitMapTable = 1500;  // 5 bytes a row, up to the end of the bank
constexpr std::size_t kTransmitMapRoom = (ConfigurationImage::kBankSize - kTransmitMapTable) / 5;

enum class Kind {
    CanBitRate,     // the list position + 1
    CanType,        // always 1 in the J1939 layout
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
        p.marked = value != 1;
        p.meaning = p.marked ? "not 1, which every build with pargen.xml writes" : "29-bit identifiers";
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
DumpTable<Row> table(std::uint16_t count, std::size_t room, const std::function<Row(std::size_t)>& row)
{
    DumpTable<Row> t{count, room, {}};
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

Rows mapRows(const DumpTable<DumpMapRow>& map, const std::vector<std::uint32_t>& framePgns, bool transmit)
{
    Rows rows{{"Row", "Index", "NrPdo", "Frame PGN", "PosComp", "High", "Low"}};
    if (transmit) rows[0].push_back("Write J1939");
    for (std::size_t i = 0; i < map.rows.size(); ++i) {
        const DumpMapRow& r = map.rows[i];
        rows.push_back({std::to_string(i + 1), std::to_string(r.index), std::to_string(r.nrPdo),
                        r.frameExists ? pgnText(framePgns[r.nrPdo - 1u]) : withMark("none", true),
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
                  mapMarked(d.receiveMap) || mapMarked(d.transmitMap);
    for (const DumpParameter& p : d.parameters) marked = marked || p.marked;
    for (std::size_t i = 0; i < d.receiveFrames.rows.size(); ++i) marked = marked || d.receiveFrames.rows[i].position != i;
    for (const DumpTransmitFrame& f : d.transmitFrames.rows) marked = marked || f.marked;
    return marked;
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
    for (const Field& field : kFields) d.parameters.push_back(decodeParameter(image, field));
    d.date = decodeDate(image.get16(1, kDateWord));
    d.time = decodeTime(image.get16(1, kTimeWord));

    d.receiveFrames = table<DumpReceiveFrame>(image.get16(1, kCounts), kReceiveFrameRoom, [&](std::size_t i) {
        const std::size_t at = kReceiveFrameTable + 6 * i;
        DumpReceiveFrame f{image.get32(1, at), image.get8(1, at + 4), image.get8(1, at + 5), std::nullopt};
        if (i < kDeleteFlagCount) f.deleted = (image.get8(1, kDeleteFlags + i / 8) >> (i % 8) & 1) != 0;
        return f;
    });
    d.transmitFrames = table<DumpTransmitFrame>(image.get16(1, kCounts + 2), kTransmitFrameRoom, [&](std::size_t i) {
        const std::uint32_t id = image.get32(2, kTransmitIdentifiers + 4 * i);
        return DumpTransmitFrame{id, id >> 26 & 7, id >> 24 & 1, id >> 8 & 0xFFFF, id & 0xFF, (id & 0xE2000000u) != 0};
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
    return d;
}

std::string DumpText(const ImageDump& d)
{
    std::string out = "Parameter block (bank 1)\n";
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

    Rows receive{{"Frame", "PGN", "Device", "Position", "Delete"}};
    std::vector<std::uint32_t> receivePgns;
    for (std::size_t i = 0; i < d.receiveFrames.rows.size(); ++i) {
        const DumpReceiveFrame& f = d.receiveFrames.rows[i];
        receivePgns.push_back(f.pgn);
        receive.push_back({std::to_string(i + 1), pgnText(f.pgn), std::to_string(f.device),
                           withMark(std::to_string(f.position), f.position != i),
                           f.deleted ? (*f.deleted ? "Y" : "N") : "-"});
    }
    section(out, "Receive frames (bank 1 from offset 0, 6 bytes each)", d.receiveFrames, receive);

    Rows transmit{{"Frame", "Identifier", "Priority", "Data page", "PGN", "Device"}};
    std::vector<std::uint32_t> transmitPgns;
    for (std::size_t i = 0; i < d.transmitFrames.rows.size(); ++i) {
        const DumpTransmitFrame& f = d.transmitFrames.rows[i];
        transmitPgns.push_back(f.pgn);
        transmit.push_back({std::to_string(i + 1), withMark(hex(f.identifier, 8), f.marked), std::to_string(f.priority),
                            std::to_string(f.dataPage), pgnText(f.pgn), std::to_string(f.device)});
    }
    section(out, "Transmit frames (bank 2 from offset 0, 4 bytes each)", d.transmitFrames, transmit);

    section(out, "Receive map (bank 1 from offset 4352, 4 bytes each)", d.receiveMap,
            mapRows(d.receiveMap, receivePgns, false));
    section(out, "Transmit map (bank 2 from offset 1500, 5 bytes each)", d.transmitMap,
            mapRows(d.transmitMap, transmitPgns, true));

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

    const Members top = {
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
        {"receiveFrames", jsonTable<DumpReceiveFrame>(d.receiveFrames, [](const DumpReceiveFrame& f, std::size_t i) {
             return Members{{"frame", jsonNumber(i + 1)},
                            {"pgn", jsonNumber(f.pgn)},
                            {"device", jsonNumber(f.device)},
                            {"position", jsonNumber(f.position)},
                            {"delete", f.deleted ? jsonBool(*f.deleted) : "null"}};
         })},
        {"transmitFrames", jsonTable<DumpTransmitFrame>(d.transmitFrames, [](const DumpTransmitFrame& f, std::size_t i) {
             return Members{{"frame", jsonNumber(i + 1)},          {"identifier", jsonNumber(f.identifier)},
                            {"priority", jsonNumber(f.priority)}, {"dataPage", jsonNumber(f.dataPage)},
                            {"pgn", jsonNumber(f.pgn)},           {"device", jsonNumber(f.device)},
                            {"marked", jsonBool(f.marked)}};
         })},
        {"receiveMap", jsonTable<DumpMapRow>(d.receiveMap, jsonMapRow)},
        {"transmitMap", jsonTable<DumpMapRow>(d.transmitMap, jsonMapRow)},
    };
    return blockObject(top, "") + "\n";
}

}  // namespace trelvant
