#include "image/image_builder.h"

#include "documents/integer_conversion.h"
#include "documents/pargen_document.h"
#include "documents/row_document.h"
#include "platform/error.h"
#include "platform/file_names.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace trelvant {
namespace {

// Bank 1.
constexpr std::size_t kReceiveFrameTable = 0;       // 6 bytes a frame; CAN 2.0A: identifier index table
constexpr std::size_t kReceiveFrameArea = 4096;     // 0xFF-filled at each build
constexpr std::size_t kIdentifierBitmap = 4096;     // 256 bytes, zeroed at each build
constexpr std::size_t kIdentifierBitmapSize = 256;
constexpr std::size_t kReceiveMapTable = 4352;      // 4 bytes a row
constexpr std::size_t kSerialTimeOut = 1605;
constexpr std::size_t kParameterBlock = 16000;
constexpr std::size_t kCounts = 16012;
constexpr std::size_t kDateWord = 16020;
constexpr std::size_t kTimeWord = 16022;
constexpr std::size_t kDeleteFlags = 16100;         // 32 bytes
// Bank 2.
constexpr std::size_t kTransmitIdentifiers = 0;     // 4 bytes a frame
constexpr std::size_t kTransmitMapTable = 1500;     // 5 bytes a row
constexpr std::size_t kStandardReceiveFrames = 0;   // CAN 2.0A: 3 bytes a frame
constexpr std::size_t kStandardTransmitFrames = 750;

struct Document {
    std::string path;  // as messages name it: the file that was read
    RowDocument rows;
};

std::optional<Document> readDocument(const std::filesystem::path& folder, std::string_view fileName)
{
    const std::filesystem::path path = ResolveFileName(folder / fileName);
    auto rows = ReadRowDocument(path);
    if (!rows) return std::nullopt;
    return Document{DisplayPath(path), std::move(*rows)};
}

// "<path>, row 3" with the row counted from 1.
std::string where(const Document& document, std::size_t row)
{
    return document.path + ", row " + std::to_string(row + 1);
}

const std::string& attributeText(const Document& document, std::size_t row, std::string_view attribute)
{
    const std::string* text = document.rows.rows[row].attribute(attribute);
    if (!text) throw Error(where(document, row) + ": attribute \"" + std::string(attribute) + "\" is missing");
    return *text;
}

// The integer of a text, a refusal naming the place where the text stands.
std::int32_t integerAt(const std::string& place, const std::string& text)
{
    try {
        return StrToInt(text);
    } catch (const Error& e) {
        throw Error(place + ": " + e.what());
    }
}

std::int32_t integerAttribute(const Document& document, std::size_t row, std::string_view attribute)
{
    return integerAt(where(document, row) + ", attribute \"" + std::string(attribute) + "\"",
                     attributeText(document, row, attribute));
}

std::uint32_t required(const Document& document, std::size_t row, std::string_view attribute)
{
    return static_cast<std::uint32_t>(integerAttribute(document, row, attribute));
}

// The number of rows of a table, refused before anything is written when they exceed its room.
std::size_t rowsWithin(const Document& document, std::size_t room, const char* what)
{
    if (document.rows.rows.size() > room)
        throw Error(where(document, room) + ": " + what + " holds at most " + std::to_string(room) + " rows");
    return document.rows.rows.size();
}

class Builder {
public:
    Builder(ConfigurationImage& image, const std::filesystem::path& folder) : image_(image), folder_(folder) {}

    void run(const Clock& clock)
    {
        reset();
        pargenPath_ = ResolveFileName(folder_ / "Pargen.xml");
        std::optional<PargenTexts> pargen = ReadPargenTexts(pargenPath_, PargenRoot::Any);
        if (pargen) requiredParameter(*pargen, "CANType");
        const bool j1939 = pargen.has_value();

        if (auto frames = readDocument(folder_, "RCobDef.xml")) j1939 ? receiveFrames(*frames) : standardReceiveFrames(*frames);
        if (auto frames = readDocument(folder_, "TCobDef.xml")) j1939 ? transmitFrames(*frames) : standardTransmitFrames(*frames);
        if (auto map = readDocument(folder_, "RInfoCob.xml")) receiveMap(*map);
        if (auto map = readDocument(folder_, "TInfoCob.xml")) transmitMap(*map);
        if (j1939) {
            // The parameter block is read from the document as it is now.
            pargen = ReadPargenTexts(pargenPath_, PargenRoot::Any);
            if (!pargen) throw Error(DisplayPath(pargenPath_) + ": the document is gone");
            parameterBlock(*pargen);
        }

        const LocalDateTime moment = clock.now();
        image_.put16(1, kDateWord, BuildDateWord(moment));
        image_.put16(1, kTimeWord, BuildTimeWord(moment));
    }

private:
    void reset()
    {
        auto bank1 = image_.bank(1);
        std::fill(bank1.begin() + kReceiveFrameTable, bank1.begin() + kReceiveFrameArea, 0xFF);
        std::fill(bank1.begin() + kIdentifierBitmap, bank1.begin() + kIdentifierBitmap + kIdentifierBitmapSize, 0x00);
        deleteFlags_.fill(0);
        counts_.fill(0);
    }

    void receiveFrames(const Document& frames)
    {
        counts_[0] = rowsWithin(frames, kMaxFrameRows, "a frame list");
        for (std::size_t i = 0; i < counts_[0]; ++i) {
            const std::uint32_t pgn = required(frames, i, "PGN");
            const std::uint32_t device = required(frames, i, "ID_DEV");
            const std::string* marked = frames.rows.rows[i].attribute("Delete");
            image_.put32(1, kReceiveFrameTable + 6 * i, pgn);
            image_.put8(1, kReceiveFrameTable + 6 * i + 4, device);
            image_.put8(1, kReceiveFrameTable + 6 * i + 5, static_cast<std::uint32_t>(i));
            if (marked && (*marked == "Y" || *marked == "y")) deleteFlags_[i / 8] |= static_cast<std::uint8_t>(1u << (i % 8));
        }
    }

    void standardReceiveFrames(const Document& frames)
    {
        counts_[0] = rowsWithin(frames, kMaxFrameRows, "a frame list");
        for (std::size_t i = 0; i < counts_[0]; ++i) {
            const std::int32_t identifier = integerAttribute(frames, i, "PGN");
            if (identifier < 0 || identifier > kMaxStandardIdentifier)
                throw Error(where(frames, i) + ": identifier " + std::to_string(identifier) + " is outside 0 to " +
                            std::to_string(kMaxStandardIdentifier));
            const std::uint32_t device = required(frames, i, "ID_DEV");
            const auto v = static_cast<std::size_t>(identifier);
            image_.put16(1, kReceiveFrameTable + 2 * v, static_cast<std::uint32_t>(i));
            image_.put8(1, kIdentifierBitmap + v / 8, image_.get8(1, kIdentifierBitmap + v / 8) | 1u << (v % 8));
            image_.put16(2, kStandardReceiveFrames + 3 * i, static_cast<std::uint32_t>(identifier));
            image_.put8(2, kStandardReceiveFrames + 3 * i + 2, device);
        }
    }

    void transmitFrames(const Document& frames)
    {
        counts_[1] = rowsWithin(frames, kMaxFrameRows, "a frame list");
        for (std::size_t i = 0; i < counts_[1]; ++i) {
            const std::uint32_t priority = required(frames, i, "Priority");
            const std::uint32_t dp = required(frames, i, "DP");
            const std::uint32_t pgn = required(frames, i, "PGN");
            const std::uint32_t device = required(frames, i, "ID_DEV");
            // The parts are added, as the device expects, not combined bit by bit.
            image_.put32(2, kTransmitIdentifiers + 4 * i, device + pgn * 256u + dp * 16777216u + priority * 67108864u);
        }
    }

    void standardTransmitFrames(const Document& frames)
    {
        counts_[1] = rowsWithin(frames, kMaxFrameRows, "a frame list");
        for (std::size_t i = 0; i < counts_[1]; ++i) {
            const std::uint32_t identifier = required(frames, i, "PGN");
            const std::uint32_t device = required(frames, i, "ID_DEV");
            image_.put16(2, kStandardTransmitFrames + 3 * i, identifier);
            image_.put8(2, kStandardTransmitFrames + 3 * i + 2, device);
        }
    }

    void receiveMap(const Document& map)
    {
        counts_[2] = rowsWithin(map, kMaxReceiveMapRows, "the receive byte map");
        for (std::size_t i = 0; i < counts_[2]; ++i) mapRow(map, i, 1, kReceiveMapTable + 4 * i);
    }

    void transmitMap(const Document& map)
    {
        counts_[3] = rowsWithin(map, kMaxTransmitMapRows, "the transmit byte map");
        for (std::size_t i = 0; i < counts_[3]; ++i) {
            const std::size_t at = kTransmitMapTable + 5 * i;
            mapRow(map, i, 2, at);
            const std::string* onRequest = map.rows.rows[i].attribute("Write_J1939");
            image_.put8(2, at + 4, onRequest ? static_cast<std::uint32_t>(StrToIntDef(*onRequest, 0)) : 0u);
        }
    }

    void mapRow(const Document& map, std::size_t i, int bank, std::size_t at)
    {
        const std::uint32_t index = required(map, i, "Index");
        const std::uint32_t frame = required(map, i, "NrPdo");
        const std::uint32_t positions = required(map, i, "PosComp");
        image_.put16(bank, at, index);
        image_.put8(bank, at + 2, frame);
        image_.put8(bank, at + 3, positions);
    }

    void parameterBlock(const PargenTexts& pargen)
    {
        image_.put8(1, kParameterBlock + 0, requiredParameter(pargen, "BaudRateCAN") + 1u);
        requiredParameter(pargen, "CANType");
        image_.put8(1, kParameterBlock + 1, 1);
        image_.put8(1, kParameterBlock + 2, requiredParameter(pargen, "Baud_Ser"));
        image_.put8(1, kParameterBlock + 3, requiredParameter(pargen, "Par_Ser"));
        image_.put8(1, kParameterBlock + 4, requiredParameter(pargen, "IDDev_Ser"));
        image_.put16(1, kSerialTimeOut, requiredParameter(pargen, "TimeOut_Ser"));
        image_.put8(1, 16007, optionalParameter(pargen, "TimeOut_Data", 0));
        image_.put16(1, 16008, optionalParameter(pargen, "TO_ModReg", 1));
        image_.put8(1, 16010, optionalParameter(pargen, "Peer_to_Peer", 0));
        image_.put8(1, 16099, optionalParameter(pargen, "Serial", 1));
        image_.put8(1, 16030, optionalParameter(pargen, "Write_J1939", 0));
        image_.put8(1, 16031, optionalParameter(pargen, "En_Rem_Req", 0));
        image_.put16(1, 16032, optionalParameter(pargen, "Pri_Des", 0));
        image_.put16(1, 16034, optionalParameter(pargen, "PGN1", 0));
        image_.put16(1, 16036, optionalParameter(pargen, "PGN2", 0));
        image_.put16(1, 16038, optionalParameter(pargen, "SA", 0));
        for (std::size_t i = 0; i < deleteFlags_.size(); ++i) image_.put8(1, kDeleteFlags + i, deleteFlags_[i]);
        for (std::size_t i = 0; i < counts_.size(); ++i)
            image_.put16(1, kCounts + 2 * i, static_cast<std::uint32_t>(counts_[i]));
    }

    std::uint32_t requiredParameter(const PargenTexts& pargen, std::string_view element) const
    {
        const std::optional<std::string>& text = pargen[element];
        const std::string name = "element \"" + std::string(element) + "\"";
        if (!pargen.hasRoot || !text)
            throw Error(DisplayPath(pargenPath_) + ": " + name + " is missing or holds no text");
        const std::string place = DisplayPath(pargenPath_) + ", " + name;
        return static_cast<std::uint32_t>(integerAt(place, *text));
    }

    static std::uint32_t optionalParameter(const PargenTexts& pargen, std::string_view element, std::int32_t fallback)
    {
        const std::optional<std::string>& text = pargen[element];
        return static_cast<std::uint32_t>(text ? StrToIntDef(*text, fallback) : fallback);
    }

    ConfigurationImage& image_;
    const std::filesystem::path& folder_;
    std::filesystem::path pargenPath_;
    std::array<std::uint8_t, 32> deleteFlags_{};
    std::array<std::size_t, 4> counts_{};
};

}  // namespace

std::uint16_t BuildDateWord(const LocalDateTime& moment)
{
    return static_cast<std::uint16_t>(moment.day * 2048 + moment.month * 128 + moment.year % 100);
}

std::uint16_t BuildTimeWord(const LocalDateTime& moment)
{
    return static_cast<std::uint16_t>(moment.second / 2 * 2048 + moment.minute * 32 + moment.hour);
}

void BuildConfigurationImage(ConfigurationImage& image, const std::filesystem::path& projectFolder, const Clock& clock)
{
    Builder(image, projectFolder).run(clock);
}

}  // namespace trelvant
