#include "image/project_check.h"

#include "documents/byte_map_document.h"
#include "documents/integer_conversion.h"
#include "documents/pargen_document.h"
#include "documents/project_documents.h"
#include "documents/reading_report.h"
#include "documents/row_document.h"
#include "image/image_builder.h"
#include "platform/error.h"
#include "platform/file_names.h"

#include <algorithm>
#include <array>
#include <map>
#include <string_view>
#include <utility>

namespace trelvant {
namespace {

// The widest PGN a J1939 frame carries: extended data page, data page, PDU format, PDU specific.
constexpr std::int32_t kMaxJ1939Pgn = 0x3FFFF;

// A parameter of pargen.xml as the builder stores it.
struct Parameter {
    std::string_view element;
    unsigned bits;                         // width of its field; 0: read, not stored
    std::optional<std::int32_t> fallback;  // stored when the text is missing or not an integer; none: the build stops
    int listSize = 0;                      // a position in a list of the communication dialog, 0 to listSize - 1
    bool remoteRequest = false;            // a register used only while remote requests are enabled
    bool flag = false;                     // a switch the device reads as 0 (off) or 1 (on)
};

const std::array<Parameter, kPargenElementCount> kParameters = {{
    {"BaudRateCAN", 8, std::nullopt, kCanBitRateCount},
    {"CANType", 0, std::nullopt},
    {"Baud_Ser", 8, std::nullopt, kSerialBitRateCount},
    {"Par_Ser", 8, std::nullopt, kParityCount},
    {"IDDev_Ser", 8, std::nullopt},
    {"TimeOut_Ser", 16, std::nullopt},
    {"TimeOut_Data", 8, 0},
    {"TO_ModReg", 16, 1},
    {"Peer_to_Peer", 8, 0, 0, false, true},
    {"Serial", 8, 1, 0, false, true},
    {"Write_J1939", 8, 0, 0, false, true},
    {"En_Rem_Req", 8, 0, 0, false, true},
    {"Pri_Des", 16, 0, 0, true},
    {"PGN1", 16, 0, 0, true},
    {"PGN2", 16, 0, 0, true},
    {"SA", 16, 0, 0, true},
}};

// The byte a one-byte switch of pargen.xml stores: non-zero is on, as the device and the
// transmit byte map editor take it.
bool switchedOn(const PargenTexts& texts, std::string_view element)
{
    const std::optional<std::string>& text = texts[element];
    return text && (StrToIntDef(*text, 0) & 0xFF) != 0;
}

std::string bitsText(unsigned bits)
{
    return "field of " + std::to_string(bits) + (bits == 1 ? " bit" : " bits");
}

// A text that the integer conversion takes: the integer the builder stores, and the number the
// text spells. The two differ for a hexadecimal text at or above 0x80000000, which the
// conversion gives as the negative integer of its 32-bit pattern: the image holds the pattern,
// so "0xFFFFFFFF" in a field of 32 bits is stored as typed, and in a field of 16 bits it is
// 4294967295 that is cut to 65535.
struct Number {
    std::int32_t converted = 0;
    std::int64_t typed = 0;

    std::uint32_t pattern() const { return static_cast<std::uint32_t>(converted); }
};

std::optional<Number> numberOf(std::string_view text)
{
    const std::optional<std::int32_t> converted = TryStrToInt(text);
    if (!converted) return std::nullopt;
    // The conversion took the text: blanks, an optional sign, an optional hexadecimal mark, digits.
    std::size_t i = text.find_first_not_of(' ');
    const bool negative = text[i] == '-';
    if (text[i] == '-' || text[i] == '+') ++i;
    int base = 10;
    if (text[i] == '$' || text[i] == 'x' || text[i] == 'X') {
        base = 16;
        i += 1;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    std::int64_t magnitude = 0;
    for (; i < text.size(); ++i) magnitude = magnitude * base + HexDigitValue(text[i]);
    return Number{*converted, negative ? -magnitude : magnitude};
}

// The message of the integer conversion's refusal of text.
std::string conversionRefusal(const std::string& text)
{
    try {
        StrToInt(text);
    } catch (const Error& e) {
        return e.what();
    }
    return {};
}

class SilentReport final : public ReadingReport {
public:
    void error(const std::string&) override {}
};

// A part of a transmit frame's 29-bit identifier; the builder adds the parts, each times its
// weight, so a part outside its field changes the parts above it.
struct IdentifierPart {
    std::string_view attribute;
    std::string_view what;
    unsigned shift;  // of its lowest bit
    unsigned bits;
};

// From the highest part down, the order of the attributes in the document.
constexpr std::array<IdentifierPart, 4> kIdentifierParts = {{
    {"Priority", "priority", 26, 3},
    {"DP", "data page", 24, 1},
    {"PGN", "PGN", 8, 16},
    {"ID_DEV", "device address", 0, 8},
}};

class Checker {
public:
    explicit Checker(const ProjectDocuments& documents) : documents_(documents) {}

    std::vector<Finding> run()
    {
        pargen();
        frameList(Direction::Receive);
        frameList(Direction::Transmit);
        byteMap(Direction::Receive);
        byteMap(Direction::Transmit);
        return std::move(findings_);
    }

private:
    struct Document {
        std::string name;  // as it stands in the folder
        const RowDocument* rows = nullptr;
    };

    // Where a finding stands: a document, its row counted from 0, the attribute or element.
    struct Place {
        const std::string& document;
        std::optional<std::size_t> row;
        std::string_view attribute;
    };

    static FindingPlace placeOf(const Place& place)
    {
        return {place.document, place.row ? std::optional(*place.row + 1) : std::nullopt, std::string(place.attribute)};
    }

    void add(const Place& place, Severity severity, std::string code, std::string message,
             std::optional<Place> alsoAt = std::nullopt)
    {
        const FindingPlace at = placeOf(place);
        findings_.push_back({at.document, at.row, at.attribute, severity, std::move(code), std::move(message),
                             alsoAt ? std::optional(placeOf(*alsoAt)) : std::nullopt});
    }

    // The document as the builder reads it; none when it is missing or does not parse (a finding).
    std::optional<Document> read(std::string_view fileName, bool& unreadableFound)
    {
        unreadableFound = false;
        const ProjectDocuments::Document& source = documents_.document(fileName);
        Document document{DisplayPath(source.path.filename())};
        try {
            if (source.readFailure) throw Error(*source.readFailure);
            if (!source.bytes) return std::nullopt;
            document.rows = &documents_.rows(fileName);
            return document;
        } catch (const Error& e) {
            unreadableFound = true;
            unreadable(document.name, source.path, e);
            return std::nullopt;
        }
    }

    void unreadable(const std::string& name, const std::filesystem::path& path, const Error& e)
    {
        // The message without the path before it: the finding names the document.
        std::string message = e.what();
        const std::string prefix = DisplayPath(path) + ": ";
        if (message.starts_with(prefix)) message.erase(0, prefix.size());
        add({name, std::nullopt, {}}, Severity::Error, "unreadable", message);
    }

    // The number of a required attribute; none, with a finding, when it is missing or not one.
    std::optional<Number> required(const Document& document, std::size_t row, std::string_view attribute)
    {
        const Place place{document.name, row, attribute};
        const std::string* text = document.rows->rows[row].attribute(attribute);
        if (!text) {
            add(place, Severity::Error, "missing", "attribute \"" + std::string(attribute) + "\" is missing");
            return std::nullopt;
        }
        const std::optional<Number> value = numberOf(*text);
        if (!value)
            add(place, Severity::Error, "not-integer",
                "attribute \"" + std::string(attribute) + "\": " + conversionRefusal(*text));
        return value;
    }

    // Whether the number typed is what a field of bits bits holds; a finding when it is not.
    bool stored(const Place& place, std::string_view what, const Number& value, unsigned bits)
    {
        const std::uint32_t kept = bits >= 32 ? value.pattern() : value.pattern() & ((1u << bits) - 1);
        if (value.typed == kept) return true;
        add(place, Severity::Error, "field-width",
            std::string(what) + " " + std::to_string(value.typed) + " is cut to " + std::to_string(kept) + " (" +
                bitsText(bits) + ")");
        return false;
    }

    // A switch stored as typed: the device knows 0 and 1 only.
    void flagValue(const Place& place, std::string_view what, const Number& value)
    {
        if (value.typed > 1)
            add(place, Severity::Error, "flag-value",
                std::string(what) + " " + std::to_string(value.typed) + " is neither 0 nor 1");
    }

    void capacity(const Document& document, std::size_t room, std::string_view what)
    {
        const std::size_t count = document.rows->rows.size();
        if (count <= room) return;
        add({document.name, room, {}}, Severity::Error, "capacity",
            std::string(what) + " holds at most " + std::to_string(room) + " rows; this one holds " +
                std::to_string(count));
    }

    void pargen()
    {
        const ProjectDocuments::Document& source = documents_.document("Pargen.xml");
        const std::filesystem::path& path = source.path;
        const std::string name = DisplayPath(path.filename());
        pargenName_ = name;
        std::optional<PargenTexts> texts;
        try {
            if (source.readFailure) throw Error(*source.readFailure);
            if (source.bytes) texts = ParsePargenTexts(*source.bytes, path, PargenRoot::Any);
        } catch (const Error& e) {
            j1939_ = true;  // the file is there: the builder takes the J1939 layout, then stops
            unreadable(name, path, e);
            return;
        }
        j1939_ = texts.has_value();
        if (!texts) return;
        pargenRead_ = true;
        writeEnabled_ = switchedOn(*texts, "Write_J1939");
        const bool remoteRequests = switchedOn(*texts, "En_Rem_Req");

        for (const Parameter& parameter : kParameters) {
            const Place place{name, std::nullopt, parameter.element};
            const std::string element = "element \"" + std::string(parameter.element) + "\"";
            const std::optional<std::string>& text = (*texts)[parameter.element];
            const std::optional<Number> value = text ? numberOf(*text) : std::nullopt;
            if (!text && !parameter.fallback) {
                add(place, Severity::Error, "missing", element + " is missing or holds no text");
            } else if (text && !value) {
                std::string message = element + ": " + conversionRefusal(*text);
                if (parameter.fallback) message += "; the device gets " + std::to_string(*parameter.fallback);
                add(place, Severity::Error, "not-integer", message);
            } else if (value && parameter.listSize > 0) {
                if (value->typed < 0 || value->typed >= parameter.listSize)
                    add(place, Severity::Error, "list-position",
                        element + ": " + std::to_string(value->typed) + " selects no item of its list (0 to " +
                            std::to_string(parameter.listSize - 1) + ")");
            } else if (value && parameter.bits == 0) {
                // CANType: every build with pargen.xml stores 1.
                if (value->typed != 1)
                    add(place, Severity::Error, "fixed-value",
                        element + ": " + std::to_string(value->typed) +
                            " is stored as 1 (29-bit identifiers): a build with pargen.xml always stores 1; 11-bit "
                            "identifiers are built from a project without pargen.xml");
            } else if (value && stored(place, element + ":", *value, parameter.bits)) {
                if (parameter.flag) flagValue(place, element + ":", *value);
                if (parameter.element == "IDDev_Ser") deviceAddress(place, element, *value);
            }
            // The remote request registers mean nothing while remote requests are disabled.
            if (parameter.remoteRequest && !remoteRequests) continue;
            const std::optional<std::int32_t> reg = value ? std::optional(value->converted) : parameter.fallback;
            if (reg && (parameter.element == "TO_ModReg" || parameter.remoteRequest))
                registerOfPargen(place, static_cast<std::uint16_t>(*reg));
        }
    }

    // The gateway answers as a Modbus slave: 0 is the broadcast address, which no slave answers
    // for, and 248 to 255 are reserved.
    void deviceAddress(const Place& place, const std::string& element, const Number& value)
    {
        if (value.typed >= kMinSlaveAddress && value.typed <= kMaxSlaveAddress) return;
        add(place, Severity::Error, "slave-address",
            element + ": Dev ID " + std::to_string(value.typed) + " is outside " + std::to_string(kMinSlaveAddress) +
                " to " + std::to_string(kMaxSlaveAddress) +
                (value.typed == 0 ? ": 0 is the broadcast address, which no slave has"
                                  : ": Modbus reserves the addresses above " + std::to_string(kMaxSlaveAddress)));
    }

    // A Modbus register that pargen.xml gives a meaning of its own.
    void registerOfPargen(const Place& place, std::uint16_t index)
    {
        for (const auto& [element, other] : pargenRegisters_)
            if (other == index) {
                add(place, Severity::Error, "register-collision",
                    "element \"" + std::string(place.attribute) + "\": register " + std::to_string(index) +
                        " is also \"" + std::string(element) + "\"",
                    Place{pargenName_, std::nullopt, element});
                break;
            }
        pargenRegisters_.emplace_back(place.attribute, index);
    }

    void frameList(Direction direction)
    {
        const bool receive = direction == Direction::Receive;
        const std::optional<Document> frames =
            read(receive ? "RCobDef.xml" : "TCobDef.xml", frameListUnreadable_[receive ? 0 : 1]);
        if (!frames) return;
        frameLists_[receive ? 0 : 1] = frames->rows;
        // A received frame as the device tells it apart: its PGN and device, or its 11-bit
        // identifier alone; each with its first row.
        std::map<std::pair<std::uint32_t, std::uint8_t>, std::size_t> received;
        for (std::size_t i = 0; i < frames->rows->rows.size(); ++i) {
            if (!j1939_) standardFrame(*frames, i, receive, received);
            else if (receive) receiveFrame(*frames, i, received);
            else transmitFrame(*frames, i);
        }
        capacity(*frames, kMaxFrameRows, "a frame list");
    }

    void receiveFrame(const Document& frames, std::size_t i,
                      std::map<std::pair<std::uint32_t, std::uint8_t>, std::size_t>& received)
    {
        const std::optional<Number> pgn = required(frames, i, "PGN");
        if (pgn && stored({frames.name, i, "PGN"}, "PGN", *pgn, 32) && pgn->typed > kMaxJ1939Pgn)
            add({frames.name, i, "PGN"}, Severity::Warning, "pgn-range",
                "PGN " + std::to_string(pgn->typed) + " is above " + std::to_string(kMaxJ1939Pgn) +
                    ": no J1939 frame carries it");
        const std::optional<Number> device = required(frames, i, "ID_DEV");
        if (device) stored({frames.name, i, "ID_DEV"}, "device address", *device, 8);
        if (!pgn || !device) return;
        // The frame as the image holds it, cut or not.
        const auto address = static_cast<std::uint8_t>(device->pattern());
        if (const auto [first, added] = received.emplace(std::pair{pgn->pattern(), address}, i); !added)
            add({frames.name, i, "PGN"}, Severity::Error, "duplicate-frame",
                "PGN " + std::to_string(pgn->pattern()) + " from device " + std::to_string(address) +
                    " is also in row " + std::to_string(first->second + 1) +
                    ": the device takes the frames of one PGN and device into one row only",
                Place{frames.name, first->second, "PGN"});
    }

    // The four parts are added into one identifier: each part is checked against its field, and
    // a part inside its field against what the parts below it, outside theirs, make of it.
    void transmitFrame(const Document& frames, std::size_t i)
    {
        std::array<std::optional<Number>, kIdentifierParts.size()> values;
        for (std::size_t p = 0; p < kIdentifierParts.size(); ++p)
            values[p] = required(frames, i, kIdentifierParts[p].attribute);
        const bool whole = std::all_of(values.begin(), values.end(), [](const auto& v) { return v.has_value(); });
        std::uint32_t identifier = 0;
        if (whole)
            for (std::size_t p = 0; p < kIdentifierParts.size(); ++p)
                identifier += values[p]->pattern() << kIdentifierParts[p].shift;
        const auto outside = [&](std::size_t p) {
            const std::int64_t max = (std::int64_t{1} << kIdentifierParts[p].bits) - 1;
            return values[p] && (values[p]->typed < 0 || values[p]->typed > max);
        };
        for (std::size_t p = 0; p < kIdentifierParts.size(); ++p) {
            const IdentifierPart& part = kIdentifierParts[p];
            if (!values[p]) continue;
            const Place place{frames.name, i, part.attribute};
            const std::uint32_t mask = (1u << part.bits) - 1;
            if (outside(p)) {
                add(place, Severity::Error, "field-width",
                    std::string(part.what) + " " + std::to_string(values[p]->typed) + " is outside 0 to " +
                        std::to_string(mask) + " (" + bitsText(part.bits) + ")");
                continue;
            }
            const std::uint32_t kept = identifier >> part.shift & mask;
            if (!whole || kept == values[p]->typed) continue;
            // Only a part outside its field below this one changes it.
            std::size_t below = p + 1;
            while (below + 1 < kIdentifierParts.size() && !outside(below)) ++below;
            add(place, Severity::Error, "field-width",
                std::string(part.what) + " " + std::to_string(values[p]->typed) + " is stored as " +
                    std::to_string(kept) + ": the " + std::string(kIdentifierParts[below].what) + " " +
                    std::to_string(values[below]->typed) + " below it reaches into its field");
        }
    }

    // Without pargen.xml the PGN is an 11-bit CAN 2.0A identifier. The device finds a received
    // frame by its identifier alone: a later row of the same identifier takes the earlier one's
    // entry in the identifier index.
    void standardFrame(const Document& frames, std::size_t i, bool receive,
                       std::map<std::pair<std::uint32_t, std::uint8_t>, std::size_t>& received)
    {
        const std::optional<Number> identifier = required(frames, i, "PGN");
        const Place place{frames.name, i, "PGN"};
        if (identifier && (identifier->typed < 0 || identifier->typed > kMaxStandardIdentifier)) {
            std::string message = "identifier " + std::to_string(identifier->typed) + " is outside 0 to " +
                                  std::to_string(kMaxStandardIdentifier) +
                                  ", as without pargen.xml the frames have 11-bit identifiers";
            // A received one stops the build; a sent one is stored in 16 bits.
            if (const std::uint32_t kept = identifier->pattern() & 0xFFFF; !receive && kept != identifier->typed)
                message += "; the device gets " + std::to_string(kept) + " (" + bitsText(16) + ")";
            add(place, Severity::Error, "identifier-range", message);
        } else if (identifier && receive) {
            const auto key = std::pair{identifier->pattern(), std::uint8_t{0}};
            if (const auto [first, added] = received.emplace(key, i); !added)
                add(place, Severity::Error, "duplicate-frame",
                    "identifier " + std::to_string(identifier->typed) + " is also in row " +
                        std::to_string(first->second + 1) + ": this row takes its entry in the identifier index, so "
                        "row " + std::to_string(first->second + 1) + " is never received",
                    Place{frames.name, first->second, "PGN"});
        }
        if (const std::optional<Number> device = required(frames, i, "ID_DEV"))
            stored({frames.name, i, "ID_DEV"}, "device address", *device, 8);
    }

    void byteMap(Direction direction)
    {
        const bool transmit = direction == Direction::Transmit;
        bool unreadableMap = false;
        const std::optional<Document> map = read(transmit ? "TInfoCob.xml" : "RInfoCob.xml", unreadableMap);
        if (!map) return;
        // The frames as the editor's reading pass finds them; rows past them it drops.
        std::optional<std::size_t> frames;
        if (!frameListUnreadable_[transmit ? 1 : 0]) {
            SilentReport silent;
            frames = ReadByteMap(frameLists_[transmit ? 1 : 0], nullptr, direction, silent).size();
        }
        const std::string frameList =
            DisplayPath(documents_.document(transmit ? "TCobDef.xml" : "RCobDef.xml").path.filename());

        std::map<std::uint16_t, std::size_t> indexes;                    // register: its first row
        std::map<std::pair<std::uint8_t, int>, std::size_t> frameBytes;  // frame and byte B1 to B8: its first row
        for (std::size_t i = 0; i < map->rows->rows.size(); ++i) {
            const std::optional<Number> index = required(*map, i, "Index");
            const std::optional<Number> frame = required(*map, i, "NrPdo");
            const std::optional<Number> positions = required(*map, i, "PosComp");
            if (index) modbusIndex(*map, i, *index, indexes, transmit);
            if (frame && stored({map->name, i, "NrPdo"}, "frame number", *frame, 8)) {
                if (frame->typed < 1)
                    add({map->name, i, "NrPdo"}, Severity::Warning, "frame-outside",
                        "frame number " + std::to_string(frame->typed) +
                            " names no frame: the editor stops reading the rows here");
                else if (frames && static_cast<std::size_t>(frame->typed) > *frames)
                    add({map->name, i, "NrPdo"}, Severity::Warning, "frame-outside",
                        "frame number " + std::to_string(frame->typed) + " is past the " + std::to_string(*frames) +
                            " frames the editor reads from " + frameList + ": it drops the row, the builder stores it");
            }
            if (positions && stored({map->name, i, "PosComp"}, "PosComp", *positions, 8))
                byteChoices(*map, i, static_cast<int>(positions->typed), frame, frameBytes, transmit);
            if (transmit) writeFlag(*map, i);
        }
        capacity(*map, transmit ? kMaxTransmitMapRows : kMaxReceiveMapRows,
                 transmit ? "the transmit byte map" : "the receive byte map");
        if (!transmit) {
            receiveIndexes_ = std::move(indexes);
            receiveMapName_ = map->name;
        }
    }

    void modbusIndex(const Document& map, std::size_t i, const Number& index,
                     std::map<std::uint16_t, std::size_t>& indexes, bool transmit)
    {
        const Place place{map.name, i, "Index"};
        stored(place, "Modbus index", index, 16);
        // The register the device gets, cut or not.
        const auto reg = static_cast<std::uint16_t>(index.pattern());
        const std::string text = "Modbus index " + std::to_string(reg);
        if (const auto [first, added] = indexes.emplace(reg, i); !added)
            add(place, Severity::Error, "duplicate-index", text + " is also in row " + std::to_string(first->second + 1),
                Place{map.name, first->second, "Index"});
        for (const auto& [element, other] : pargenRegisters_)
            if (other == reg)
                add(place, Severity::Error, "register-collision",
                    text + " is also the register \"" + std::string(element) + "\" of pargen.xml",
                    Place{pargenName_, std::nullopt, element});
        if (!transmit) return;
        if (const auto received = receiveIndexes_.find(reg); received != receiveIndexes_.end())
            add(place, Severity::Error, "register-collision",
                text + " is also in " + receiveMapName_ + ", row " + std::to_string(received->second + 1),
                Place{receiveMapName_, received->second, "Index"});
    }

    // The two byte choices of PosComp: each 0 (none) or 1 to 8 (B1 to B8), one frame byte to one
    // register of its frame. A sent byte fed by two registers, or by both halves of one, carries
    // only one of them.
    void byteChoices(const Document& map, std::size_t i, int positions, const std::optional<Number>& frame,
                     std::map<std::pair<std::uint8_t, int>, std::size_t>& frameBytes, bool transmit)
    {
        const Place place{map.name, i, "PosComp"};
        const int high = positions >> 4;
        const int low = positions & 0x0F;
        bool valid = true;
        for (const auto& [choice, half] : {std::pair{high, "high"}, std::pair{low, "low"}})
            if (choice > 8) {
                valid = false;
                add(place, Severity::Error, "byte-choice",
                    "PosComp " + std::to_string(positions) + " chooses byte " + std::to_string(choice) + " for the " +
                        half + " byte; a frame has B1 to B8");
                aboutChoice(choice);
            }
        if (!valid) return;
        if (transmit && high != 0 && high == low)
            add(place, Severity::Warning, "byte-twice",
                "PosComp " + std::to_string(positions) + " sends both the high and the low byte of the register in B" +
                    std::to_string(high) + ": the frame carries only one of them");
        if (!frame) return;
        const auto frameNumber = static_cast<std::uint8_t>(frame->pattern());
        std::vector<int> chosen;
        if (high != 0) chosen.push_back(high);
        if (low != 0 && low != high) chosen.push_back(low);
        for (const int choice : chosen) {
            const auto [first, added] = frameBytes.emplace(std::pair{frameNumber, choice}, i);
            if (!added) {
                add(place, transmit ? Severity::Error : Severity::Warning, "byte-shared",
                    "byte B" + std::to_string(choice) + " of frame " + std::to_string(frameNumber) +
                        " is also mapped by row " + std::to_string(first->second + 1),
                    Place{map.name, first->second, "PosComp"});
                aboutChoice(choice);
            }
        }
    }

    // The byte choice of PosComp the finding just added concerns.
    void aboutChoice(int choice) { findings_.back().byteChoice = choice; }

    void writeFlag(const Document& map, std::size_t i)
    {
        const Place place{map.name, i, "Write_J1939"};
        const std::string* text = map.rows->rows[i].attribute("Write_J1939");
        if (!text) return;  // the builder stores 0
        const std::optional<Number> value = numberOf(*text);
        if (!value) {
            add(place, Severity::Error, "not-integer",
                "attribute \"Write_J1939\": " + conversionRefusal(*text) + "; the device gets 0");
            return;
        }
        if (!stored(place, "Write J1939 flag", *value, 8)) return;
        flagValue(place, "Write J1939 flag", *value);
        if (value->typed != 0 && pargenRead_ && !writeEnabled_)
            add(place, Severity::Warning, "write-disabled",
                "Write J1939 flag " + std::to_string(value->typed) + " while pargen.xml disables writing J1939 frames");
    }

    const ProjectDocuments& documents_;
    std::vector<Finding> findings_;
    std::string pargenName_ = "pargen.xml";
    std::array<const RowDocument*, 2> frameLists_{};  // receive, transmit; null when missing
    bool j1939_ = false;
    bool pargenRead_ = false;
    bool writeEnabled_ = false;
    std::vector<std::pair<std::string_view, std::uint16_t>> pargenRegisters_;
    std::array<bool, 2> frameListUnreadable_{};
    std::map<std::uint16_t, std::size_t> receiveIndexes_;
    std::string receiveMapName_;
};

}  // namespace

std::vector<Finding> CheckProject(const std::filesystem::path& projectFolder)
{
    return CheckProject(ProjectDocuments(projectFolder));
}

std::vector<Finding> CheckProject(const ProjectDocuments& documents)
{
    return Checker(documents).run();
}

namespace {

std::string severityWord(Severity severity)
{
    return severity == Severity::Error ? "Error" : "Warning";
}

}  // namespace

bool Finding::concerns(std::string_view name) const
{
    return SameFileName(document, name) || (alsoAt && SameFileName(alsoAt->document, name));
}

std::vector<Finding> FindingsOf(const std::vector<Finding>& findings, std::string_view document)
{
    std::vector<Finding> of;
    for (const Finding& finding : findings)
        if (finding.concerns(document)) of.push_back(finding);
    return of;
}

std::string FindingTip(const Finding& finding, std::string_view document, std::optional<std::size_t> row)
{
    if (SameFileName(finding.document, document) && finding.row == row)
        return severityWord(finding.severity) + ": " + finding.message;
    std::string place = finding.document;
    if (finding.row) place += ", row " + std::to_string(*finding.row);
    return severityWord(finding.severity) + " (" + place + "): " + finding.message;
}

std::string FindingLine(const Finding& finding)
{
    std::string line = finding.document;
    if (finding.row) line += ", row " + std::to_string(*finding.row);
    line += finding.severity == Severity::Error ? ": error: " : ": warning: ";
    return line + finding.message;
}

std::size_t CountFindings(const std::vector<Finding>& findings, Severity severity)
{
    std::size_t count = 0;
    for (const Finding& finding : findings) count += finding.severity == severity ? 1 : 0;
    return count;
}

std::string FindingsSummary(const std::vector<Finding>& findings)
{
    const std::size_t errors = CountFindings(findings, Severity::Error);
    const std::size_t warnings = CountFindings(findings, Severity::Warning);
    if (errors + warnings == 0) return "No problems found";
    const auto counted = [](std::size_t n, const char* what) {
        return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
    };
    if (warnings == 0) return counted(errors, "error");
    if (errors == 0) return counted(warnings, "warning");
    return counted(errors, "error") + ", " + counted(warnings, "warning");
}

std::optional<std::string> UpdateDeviceQuestion(const std::vector<Finding>& findings, std::size_t shown)
{
    const std::size_t errors = CountFindings(findings, Severity::Error);
    if (errors == 0) return std::nullopt;
    std::string text = "The check of the project found " + std::to_string(errors) + (errors == 1 ? " error" : " errors") +
                       " that would stop the build or give the device other values than those typed:\n";
    std::size_t listed = 0;
    for (const Finding& finding : findings)
        if (finding.severity == Severity::Error && listed++ < shown) text += "\n" + FindingLine(finding);
    if (errors > shown) {
        const std::size_t more = errors - shown;
        text += "\n\u2026 and " + std::to_string(more) + " more error" + (more == 1 ? "" : "s");
    }
    return text + "\n\nUpdate the device anyway?";
}

std::optional<std::string> SaveQuestion(std::string_view subject, std::string_view document,
                                        const std::vector<Finding>& findings, std::size_t shown)
{
    const std::size_t errors = CountFindings(findings, Severity::Error);
    if (errors == 0) return std::nullopt;
    std::string text = std::string(subject) + " has " + std::to_string(errors) + (errors == 1 ? " error" : " errors") +
                       ":\n";
    std::size_t listed = 0;
    for (const Finding& finding : findings) {
        if (finding.severity != Severity::Error || listed++ >= shown) continue;
        if (!SameFileName(finding.document, document)) text += "\n" + FindingLine(finding);
        else if (finding.row) text += "\nrow " + std::to_string(*finding.row) + ": " + finding.message;
        else text += "\n" + finding.message;
    }
    if (errors > shown) {
        const std::size_t more = errors - shown;
        text += "\n\u2026 and " + std::to_string(more) + " more error" + (more == 1 ? "" : "s");
    }
    return text + "\n\nSave anyway?";
}

}  // namespace trelvant
