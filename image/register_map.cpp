#include "image/register_map.h"

#include "documents/integer_conversion.h"
#include "documents/pargen_document.h"
#include "documents/row_document.h"
#include "platform/error.h"
#include "platform/file_names.h"

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <string_view>
#include <tuple>
#include <utility>

namespace trelvant {
namespace {

// The low bits of a text's integer, as a field of the image holds it; none when the text is
// missing or not an integer.
std::optional<std::uint32_t> storedValue(const std::string* text, std::uint32_t mask = 0xFFFFFFFF)
{
    if (!text) return std::nullopt;
    const std::optional<std::int32_t> value = TryStrToInt(*text);
    if (!value) return std::nullopt;
    return static_cast<std::uint32_t>(*value) & mask;
}

std::string textOf(const std::string* text)
{
    return text ? *text : std::string();
}

// A document as the builder reads it; none when it is missing or cannot be read (the check
// reports that).
std::optional<RowDocument> readRows(const std::filesystem::path& folder, std::string_view name)
{
    try {
        return ReadRowDocument(ResolveFileName(folder / name));
    } catch (const Error&) {
        return std::nullopt;
    }
}

std::string lowerCase(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// The registers that pargen.xml gives a meaning: the data time-out register always, the four
// remote request registers while remote requests are enabled.
struct ParameterRegister {
    std::string_view element;
    std::uint16_t fallback;
    bool remoteRequest;
};

constexpr std::array<ParameterRegister, 5> kParameterRegisters = {{
    {"TO_ModReg", 1, false},
    {"Pri_Des", 0, true},
    {"PGN1", 0, true},
    {"PGN2", 0, true},
    {"SA", 0, true},
}};

class MapReader {
public:
    explicit MapReader(const std::filesystem::path& folder) : folder_(folder) {}

    RegisterMap run()
    {
        map_.projectName = DisplayPath(folder_.filename().empty() ? folder_.parent_path().filename() : folder_.filename());
        pargen();
        frames(Direction::Receive);
        frames(Direction::Transmit);
        registers(Direction::Receive);
        registers(Direction::Transmit);
        std::stable_sort(map_.registers.begin(), map_.registers.end(), [](const MapRegister& a, const MapRegister& b) {
            const auto key = [](const MapRegister& r) {
                return std::tuple(!r.reg.has_value(), r.reg.value_or(0), static_cast<int>(r.role), r.documentRow);
            };
            return key(a) < key(b);
        });
        for (const MapRegister& reg : map_.registers) tieBytes(reg);
        findings();
        return std::move(map_);
    }

private:
    void pargen()
    {
        const std::filesystem::path path = ResolveFileName(folder_ / "Pargen.xml");
        std::optional<PargenTexts> texts;
        try {
            texts = ReadPargenTexts(path, PargenRoot::Any);
            map_.layout = texts ? RegisterMapLayout::J1939 : RegisterMapLayout::Can20A;
        } catch (const Error&) {
            map_.layout = RegisterMapLayout::J1939;  // the file is there: the build takes this layout, then stops
            return;
        }
        if (!texts) return;
        const auto value = [&](std::string_view element) -> std::optional<std::int32_t> {
            const std::optional<std::string>& text = (*texts)[element];
            return text ? TryStrToInt(*text) : std::nullopt;
        };
        const auto listItem = [](std::optional<std::int32_t> position, auto items) -> std::optional<std::string> {
            if (!position || *position < 0 || *position >= static_cast<std::int32_t>(items.size())) return std::nullopt;
            return std::string(items[static_cast<std::size_t>(*position)]);
        };
        if (const auto rate = listItem(value("BaudRateCAN"), kCanBitRates)) map_.canBitRate = *rate + " kbit/s";
        const auto serialRate = listItem(value("Baud_Ser"), kSerialBitRates);
        const auto parity = listItem(value("Par_Ser"), kParities);
        const std::int32_t serialType = value("Serial").value_or(1) & 0xFF;
        if (serialRate && parity && serialType <= 1)
            map_.serialSettings = *serialRate + " bit/s, parity " + *parity + ", " + (serialType == 1 ? "RS485" : "RS232");
        if (const auto id = value("IDDev_Ser")) map_.slaveId = static_cast<std::uint8_t>(*id);
        map_.writeEnabled = (value("Write_J1939").value_or(0) & 0xFF) != 0;
        map_.remoteRequests = (value("En_Rem_Req").value_or(0) & 0xFF) != 0;

        for (const ParameterRegister& parameter : kParameterRegisters) {
            if (parameter.remoteRequest && !map_.remoteRequests) continue;
            MapRegister reg;
            reg.role = RegisterRole::Parameter;
            reg.parameter = parameter.element;
            reg.remoteRequest = parameter.remoteRequest;
            const std::optional<std::string>& text = (*texts)[parameter.element];
            reg.indexText = text.value_or(std::string());
            reg.reg = static_cast<std::uint16_t>(value(parameter.element).value_or(parameter.fallback));
            map_.registers.push_back(std::move(reg));
        }
    }

    void frames(Direction direction)
    {
        const bool receive = direction == Direction::Receive;
        const std::optional<RowDocument> rows = readRows(folder_, receive ? "RCobDef.xml" : "TCobDef.xml");
        if (!rows) return;
        std::vector<MapFrame>& frames = receive ? map_.receiveFrames : map_.transmitFrames;
        const bool j1939 = map_.layout == RegisterMapLayout::J1939;
        for (const XmlRow& row : rows->rows) {
            MapFrame frame;
            frame.direction = direction;
            frame.j1939 = j1939;
            frame.number = frames.size() + 1;
            frame.mnemonic = textOf(row.attribute("Mnemonic"));
            frame.pgnText = textOf(row.attribute("PGN"));
            frame.device = storedValue(row.attribute("ID_DEV"), 0xFF);
            if (receive || !j1939) {
                frame.pgn = storedValue(row.attribute("PGN"), receive ? 0xFFFFFFFF : 0xFFFF);
            } else {
                // The builder adds the four parts, each times its weight.
                const auto priority = storedValue(row.attribute("Priority"));
                const auto dataPage = storedValue(row.attribute("DP"));
                const auto pgn = storedValue(row.attribute("PGN"));
                if (priority && dataPage && pgn && frame.device) {
                    const std::uint32_t identifier = (*priority << 26) + (*dataPage << 24) + (*pgn << 8) +
                                                      *storedValue(row.attribute("ID_DEV"));
                    frame.identifier = identifier;
                    frame.priority = identifier >> 26 & 0x7;
                    frame.dataPage = identifier >> 24 & 0x1;
                    frame.pgn = identifier >> 8 & 0x3FFFF;
                    frame.device = static_cast<std::uint8_t>(identifier & 0xFF);
                } else if (pgn) {
                    frame.pgn = *pgn & 0xFFFF;
                }
            }
            frames.push_back(std::move(frame));
        }
    }

    void registers(Direction direction)
    {
        const bool receive = direction == Direction::Receive;
        const std::optional<RowDocument> rows = readRows(folder_, receive ? "RInfoCob.xml" : "TInfoCob.xml");
        if (!rows) return;
        const std::size_t frameCount = receive ? map_.receiveFrames.size() : map_.transmitFrames.size();
        for (std::size_t i = 0; i < rows->rows.size(); ++i) {
            const XmlRow& row = rows->rows[i];
            MapRegister reg;
            reg.role = receive ? RegisterRole::Received : RegisterRole::Sent;
            reg.documentRow = i + 1;
            reg.indexText = textOf(row.attribute("Index"));
            if (const auto index = storedValue(row.attribute("Index"), 0xFFFF)) reg.reg = static_cast<std::uint16_t>(*index);
            if (const auto number = storedValue(row.attribute("NrPdo"), 0xFF)) {
                reg.frameNumber = static_cast<std::uint8_t>(*number);
                if (*number >= 1 && *number <= frameCount) reg.frame = *number - 1;
            }
            if (const auto positions = storedValue(row.attribute("PosComp"), 0xFF))
                reg.posComp = static_cast<std::uint8_t>(*positions);
            if (!receive) {
                reg.writeFlag = static_cast<std::uint8_t>(storedValue(row.attribute("Write_J1939"), 0xFF).value_or(0));
                reg.writeInEffect = reg.writeFlag != 0 && map_.writeEnabled;
            }
            map_.registers.push_back(std::move(reg));
        }
    }

    void tieBytes(const MapRegister& reg)
    {
        if (!reg.frame || !reg.reg) return;
        MapFrame& frame =
            (reg.role == RegisterRole::Received ? map_.receiveFrames : map_.transmitFrames)[*reg.frame];
        for (const auto& [choice, high] : {std::pair{reg.high(), true}, std::pair{reg.low(), false}})
            if (choice >= 1 && choice <= 8) frame.bytes[static_cast<std::size_t>(choice - 1)].push_back({*reg.reg, high});
    }

    // Each finding of the check goes to the register or frame it is about; the rest stand apart.
    void findings()
    {
        // The registers by their byte map and row, and pargen.xml's by element.
        std::map<std::pair<RegisterRole, std::size_t>, MapRegister*> mapped;
        std::map<std::string, MapRegister*, std::less<>> parameters;
        for (MapRegister& reg : map_.registers) {
            if (reg.role == RegisterRole::Parameter) parameters.emplace(reg.parameter, &reg);
            else mapped.emplace(std::pair{reg.role, reg.documentRow}, &reg);
        }
        for (Finding& finding : CheckProject(folder_)) {
            const std::string document = lowerCase(finding.document);
            std::vector<Finding>* place = nullptr;
            if (finding.code != "capacity" && finding.code != "unreadable") {
                if (finding.row && (document == "rinfocob.xml" || document == "tinfocob.xml")) {
                    const RegisterRole role = document == "rinfocob.xml" ? RegisterRole::Received : RegisterRole::Sent;
                    if (const auto reg = mapped.find(std::pair{role, *finding.row}); reg != mapped.end())
                        place = &reg->second->findings;
                } else if (finding.row && (document == "rcobdef.xml" || document == "tcobdef.xml")) {
                    std::vector<MapFrame>& frames = document == "rcobdef.xml" ? map_.receiveFrames : map_.transmitFrames;
                    if (*finding.row <= frames.size()) place = &frames[*finding.row - 1].findings;
                } else if (document == "pargen.xml") {
                    if (const auto reg = parameters.find(finding.attribute); reg != parameters.end())
                        place = &reg->second->findings;
                }
            }
            (place ? *place : map_.otherFindings).push_back(std::move(finding));
        }
    }

    const std::filesystem::path& folder_;
    RegisterMap map_;
};

}  // namespace

std::optional<std::uint8_t> MapFrame::pduFormat() const
{
    if (!j1939 || !pgn) return std::nullopt;
    return static_cast<std::uint8_t>(*pgn >> 8 & 0xFF);
}

std::optional<std::string> MapRegister::byteOrder() const
{
    const int h = high(), l = low();
    if (h < 1 || h > 8 || l < 1 || l > 8) return std::nullopt;
    if (h == l + 1) return "16-bit value least significant byte first";
    if (l == h + 1) return "16-bit value most significant byte first";
    return std::nullopt;
}

const MapFrame* RegisterMap::frameOf(const MapRegister& reg) const
{
    if (!reg.frame) return nullptr;
    const std::vector<MapFrame>& frames = reg.role == RegisterRole::Received ? receiveFrames : transmitFrames;
    return *reg.frame < frames.size() ? &frames[*reg.frame] : nullptr;
}

std::size_t RegisterMap::count(Severity severity) const
{
    std::size_t n = CountFindings(otherFindings, severity);
    for (const MapRegister& reg : registers) n += CountFindings(reg.findings, severity);
    for (const std::vector<MapFrame>* frames : {&receiveFrames, &transmitFrames})
        for (const MapFrame& frame : *frames) n += CountFindings(frame.findings, severity);
    return n;
}

RegisterMap ReadRegisterMap(const std::filesystem::path& projectFolder)
{
    return MapReader(projectFolder).run();
}

std::string ByteChoiceText(int choice)
{
    if (choice == 0) return "none";
    if (choice >= 1 && choice <= 8) return "B" + std::to_string(choice);
    return "byte " + std::to_string(choice);
}

}  // namespace trelvant
