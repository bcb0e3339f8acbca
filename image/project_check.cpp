#include "image/project_check.h"

#include "documents/byte_map_document.h"
#include "documents/integer_conversion.h"
#include "documents/pargen_document.h"
#include "documents/reading_report.h"
#include "documents/row_document.h"
#include "image/image_builder.h"
#include "platform/error.h"
#include "platform/file_names.h"

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
    {"Peer_to_Peer", 8, 0},
    {"Serial", 8, 1},
    {"Write_J1939", 8, 0},
    {"En_Rem_Req", 8, 0},
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

class Checker {
public:
    explicit Checker(const std::filesystem::path& folder) : folder_(folder) {}

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
        RowDocument rows;
    };

    // Where a finding stands: a document, its row counted from 0, the attribute or element.
    struct Place {
        const std::string& document;
        std::optional<std::size_t> row;
        std::string_view attribute;
    };

    void add(const Place& place, Severity severity, std::string code, std::string message)
    {
        findings_.push_back({place.document, place.row ? std::optional(*place.row + 1) : std::nullopt,
                             std::string(place.attribute), severity, std::move(code), std::move(message)});
    }

    // The document as the builder reads it; none when it is missing or does not parse (a finding).
    std::optional<Document> read(std::string_view fileName, bool& unreadableFound)
    {
        unreadableFound = false;
        const std::filesystem::path path = ResolveFileName(folder_ / fileName);
        Document document{DisplayPath(path.filename()), {}};
        try {
            std::optional<RowDocument> rows = ReadRowDocument(path);
            if (!rows) return std::nullopt;
            document.rows = std::move(*rows);
            return document;
        } catch (const Error& e) {
            unreadableFound = true;
            unreadable(document.name, path, e);
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

    // The integer of a required attribute; none, with a finding, when it is missing or not one.
    std::optional<std::int32_t> required(const Document& document, std::size_t row, std::string_view attribute)
    {
        const Place place{document.name, row, attribute};
        const std::string* text = document.rows.rows[row].attribute(attribute);
        if (!text) {
            add(place, Severity::Error, "missing", "attribute \"" + std::string(attribute) + "\" is missing");
            return std::nullopt;
        }
        const std::optional<std::int32_t> value = TryStrToInt(*text);
        if (!value)
            add(place, Severity::Error, "not-integer",
                "attribute \"" + std::string(attribute) + "\": " + conversionRefusal(*text));
        return value;
    }

    // Whether value is stored unchanged in a field of bits bits; a finding when it is cut.
    bool stored(const Place& place, std::string_view what, std::int32_t value, unsigned bits)
    {
        const auto pattern = static_cast<std::uint32_t>(value);
        const std::uint32_t kept = bits >= 32 ? pattern : pattern & ((1u << bits) - 1);
        if (value >= 0 && pattern == kept) return true;
        add(place, Severity::Error, "field-width",
            std::string(what) + " " + std::to_string(value) + " is cut to " + std::to_string(kept) + " (" +
                bitsText(bits) + ")");
        return false;
    }

    // A part of a transmit identifier: the parts are added, so a part wider than its field
    // changes the parts above it.
    void identifierPart(const Document& document, std::size_t row, std::string_view attribute, std::string_view what,
                        std::int32_t max, unsigned bits)
    {
        const std::optional<std::int32_t> value = required(document, row, attribute);
        if (!value || (*value >= 0 && *value <= max)) return;
        add({document.name, row, attribute}, Severity::Error, "field-width",
            std::string(what) + " " + std::to_string(*value) + " is outside 0 to " + std::to_string(max) + " (" +
                bitsText(bits) + ")");
    }

    void capacity(const Document& document, std::size_t room, std::string_view what)
    {
        const std::size_t count = document.rows.rows.size();
        if (count <= room) return;
        add({document.name, room, {}}, Severity::Error, "capacity",
            std::string(what) + " holds at most " + std::to_string(room) + " rows; this one holds " +
                std::to_string(count));
    }

    void pargen()
    {
        const std::filesystem::path path = ResolveFileName(folder_ / "Pargen.xml");
        const std::string name = DisplayPath(path.filename());
        std::optional<PargenTexts> texts;
        try {
            texts = ReadPargenTexts(path, PargenRoot::Any);
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
            if (parameter.remoteRequest && !remoteRequests) continue;
            const Place place{name, std::nullopt, parameter.element};
            const std::string element = "element \"" + std::string(parameter.element) + "\"";
            const std::optional<std::string>& text = (*texts)[parameter.element];
            std::optional<std::int32_t> value = text ? TryStrToInt(*text) : std::nullopt;
            if (!text && !parameter.fallback) {
                add(place, Severity::Error, "missing", element + " is missing or holds no text");
            } else if (text && !value) {
                std::string message = element + ": " + conversionRefusal(*text);
                if (parameter.fallback) message += "; the device gets " + std::to_string(*parameter.fallback);
                add(place, Severity::Error, "not-integer", message);
            } else if (value && parameter.listSize > 0 && (*value < 0 || *value >= parameter.listSize)) {
                add(place, Severity::Error, "list-position",
                    element + ": " + std::to_string(*value) + " selects no item of its list (0 to " +
                        std::to_string(parameter.listSize - 1) + ")");
            } else if (value && parameter.bits > 0 && parameter.listSize == 0) {
                stored(place, element + ":", *value, parameter.bits);
            }
            if (!value) value = parameter.fallback;
            if (value && (parameter.element == "TO_ModReg" || parameter.remoteRequest))
                registerOfPargen(place, static_cast<std::uint16_t>(*value));
        }
    }

    // A Modbus register that pargen.xml gives a meaning of its own.
    void registerOfPargen(const Place& place, std::uint16_t index)
    {
        for (const auto& [element, other] : pargenRegisters_)
            if (other == index) {
                add(place, Severity::Error, "register-collision",
                    "element \"" + std::string(place.attribute) + "\": register " + std::to_string(index) +
                        " is also \"" + std::string(element) + "\"");
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
        for (std::size_t i = 0; i < frames->rows.rows.size(); ++i) {
            if (!j1939_) standardFrame(*frames, i);
            else if (receive) receiveFrame(*frames, i);
            else transmitFrame(*frames, i);
        }
        capacity(*frames, kMaxFrameRows, "a frame list");
    }

    void receiveFrame(const Document& frames, std::size_t i)
    {
        if (const auto pgn = required(frames, i, "PGN"); pgn && stored({frames.name, i, "PGN"}, "PGN", *pgn, 32) &&
                                                         *pgn > kMaxJ1939Pgn)
            add({frames.name, i, "PGN"}, Severity::Warning, "pgn-range",
                "PGN " + std::to_string(*pgn) + " is above " + std::to_string(kMaxJ1939Pgn) +
                    ": no J1939 frame carries it");
        if (const auto device = required(frames, i, "ID_DEV"))
            stored({frames.name, i, "ID_DEV"}, "device address", *device, 8);
    }

    void transmitFrame(const Document& frames, std::size_t i)
    {
        identifierPart(frames, i, "Priority", "priority", 7, 3);
        identifierPart(frames, i, "DP", "data page", 1, 1);
        identifierPart(frames, i, "PGN", "PGN", 0xFFFF, 16);
        identifierPart(frames, i, "ID_DEV", "device address", 0xFF, 8);
    }

    // Without pargen.xml the PGN is an 11-bit CAN 2.0A identifier.
    void standardFrame(const Document& frames, std::size_t i)
    {
        if (const auto identifier = required(frames, i, "PGN");
            identifier && (*identifier < 0 || *identifier > kMaxStandardIdentifier))
            add({frames.name, i, "PGN"}, Severity::Error, "identifier-range",
                "identifier " + std::to_string(*identifier) + " is outside 0 to " +
                    std::to_string(kMaxStandardIdentifier));
        if (const auto device = required(frames, i, "ID_DEV"))
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
            frames = ReadByteMap(folder_, direction, silent).size();
        }
        const std::string frameList = DisplayPath(
            ResolveFileName(folder_ / (transmit ? "TCobDef.xml" : "RCobDef.xml")).filename());

        std::map<std::uint16_t, std::size_t> indexes;                    // register: its first row
        std::map<std::pair<std::uint8_t, int>, std::size_t> frameBytes;  // frame and byte B1 to B8: its first row
        for (std::size_t i = 0; i < map->rows.rows.size(); ++i) {
            const std::optional<std::int32_t> index = required(*map, i, "Index");
            const std::optional<std::int32_t> frame = required(*map, i, "NrPdo");
            const std::optional<std::int32_t> positions = required(*map, i, "PosComp");
            if (index) modbusIndex(*map, i, *index, indexes, transmit);
            if (frame && stored({map->name, i, "NrPdo"}, "frame number", *frame, 8)) {
                if (*frame < 1)
                    add({map->name, i, "NrPdo"}, Severity::Warning, "frame-outside",
                        "frame number " + std::to_string(*frame) + " names no frame: the editor stops reading the rows here");
                else if (frames && static_cast<std::size_t>(*frame) > *frames)
                    add({map->name, i, "NrPdo"}, Severity::Warning, "frame-outside",
                        "frame number " + std::to_string(*frame) + " is past the " + std::to_string(*frames) +
                            " frames the editor reads from " + frameList + ": it drops the row, the builder stores it");
            }
            if (positions && stored({map->name, i, "PosComp"}, "PosComp", *positions, 8))
                byteChoices(*map, i, *positions, frame, frameBytes, transmit);
            if (transmit) writeFlag(*map, i);
        }
        capacity(*map, transmit ? kMaxTransmitMapRows : kMaxReceiveMapRows,
                 transmit ? "the transmit byte map" : "the receive byte map");
        if (!transmit) {
            receiveIndexes_ = std::move(indexes);
            receiveMapName_ = map->name;
        }
    }

    void modbusIndex(const Document& map, std::size_t i, std::int32_t index, std::map<std::uint16_t, std::size_t>& indexes,
                     bool transmit)
    {
        const Place place{map.name, i, "Index"};
        stored(place, "Modbus index", index, 16);
        // The register the device gets, cut or not.
        const auto reg = static_cast<std::uint16_t>(index);
        const std::string text = "Modbus index " + std::to_string(reg);
        if (const auto [first, added] = indexes.emplace(reg, i); !added)
            add(place, Severity::Error, "duplicate-index", text + " is also in row " + std::to_string(first->second + 1));
        for (const auto& [element, other] : pargenRegisters_)
            if (other == reg)
                add(place, Severity::Error, "register-collision",
                    text + " is also the register \"" + std::string(element) + "\" of pargen.xml");
        if (!transmit) return;
        if (const auto received = receiveIndexes_.find(reg); received != receiveIndexes_.end())
            add(place, Severity::Error, "register-collision",
                text + " is also in " + receiveMapName_ + ", row " + std::to_string(received->second + 1));
    }

    // The two byte choices of PosComp: each 0 (none) or 1 to 8 (B1 to B8), one frame byte to one
    // register of its frame. A sent byte fed by two registers carries only one of them.
    void byteChoices(const Document& map, std::size_t i, std::int32_t positions, std::optional<std::int32_t> frame,
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
            }
        if (!valid || !frame) return;
        const auto frameNumber = static_cast<std::uint8_t>(*frame);
        // One register on one byte twice (high and low alike) shares it with no other register.
        std::vector<int> chosen;
        if (high != 0) chosen.push_back(high);
        if (low != 0 && low != high) chosen.push_back(low);
        for (const int choice : chosen) {
            const auto [first, added] = frameBytes.emplace(std::pair{frameNumber, choice}, i);
            if (!added)
                add(place, transmit ? Severity::Error : Severity::Warning, "byte-shared",
                    "byte B" + std::to_string(choice) + " of frame " + std::to_string(frameNumber) +
                        " is also mapped by row " + std::to_string(first->second + 1));
        }
    }

    void writeFlag(const Document& map, std::size_t i)
    {
        const Place place{map.name, i, "Write_J1939"};
        const std::string* text = map.rows.rows[i].attribute("Write_J1939");
        if (!text) return;  // the builder stores 0
        const std::optional<std::int32_t> value = TryStrToInt(*text);
        if (!value) {
            add(place, Severity::Error, "not-integer",
                "attribute \"Write_J1939\": " + conversionRefusal(*text) + "; the device gets 0");
            return;
        }
        if (stored(place, "Write J1939 flag", *value, 8) && *value != 0 && pargenRead_ && !writeEnabled_)
            add(place, Severity::Warning, "write-disabled",
                "Write J1939 flag " + std::to_string(*value) + " while pargen.xml disables writing J1939 frames");
    }

    const std::filesystem::path& folder_;
    std::vector<Finding> findings_;
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
    return Checker(projectFolder).run();
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

}  // namespace trelvant
