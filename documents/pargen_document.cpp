#include "documents/pargen_document.h"

#include "documents/integer_conversion.h"
#include "documents/xml_file.h"
#include "platform/atomic_file.h"
#include "platform/error.h"
#include "platform/file_names.h"

#include <algorithm>

namespace trelvant {
namespace {

std::size_t elementPosition(std::string_view element)
{
    const auto found = std::ranges::find(kPargenElements, element);
    if (found == kPargenElements.end()) throw Error("'" + std::string(element) + "' is not an element of pargen.xml");
    return static_cast<std::size_t>(found - kPargenElements.begin());
}

// The text of an element holding nothing or one text; nullopt for any other content.
std::optional<std::string> singleText(const pugi::xml_node element)
{
    const pugi::xml_node first = element.first_child();
    if (!first) return std::string();
    if (first.next_sibling()) return std::nullopt;
    if (first.type() != pugi::node_pcdata && first.type() != pugi::node_cdata) return std::nullopt;
    return std::string(first.value());
}

PargenTexts textsOf(const pugi::xml_document& xml, PargenRoot rule)
{
    PargenTexts result;
    const pugi::xml_node root = rule == PargenRoot::Any ? xml.document_element() : xml.child(kPargenRoot.data());
    result.hasRoot = static_cast<bool>(root);
    if (!root) return result;
    for (std::size_t i = 0; i < kPargenElementCount; ++i)
        if (const pugi::xml_node element = root.child(kPargenElements[i].data()))
            result.texts[i] = singleText(element);
    return result;
}

// A list position; a position outside the list selects nothing.
int listPosition(const std::optional<std::string>& text, int fallback, int itemCount)
{
    const std::optional<std::int32_t> value = text ? TryStrToInt(*text) : std::nullopt;
    if (!value) return fallback;
    return (*value >= 0 && *value < itemCount) ? *value : -1;
}

bool isOne(const std::optional<std::string>& text, bool fallback)
{
    return text ? *text == "1" : fallback;
}

std::string textOr(const std::optional<std::string>& text, const char* fallback)
{
    return text ? *text : std::string(fallback);
}

}  // namespace

const std::optional<std::string>& PargenTexts::operator[](std::string_view element) const
{
    return texts[elementPosition(element)];
}

std::optional<PargenTexts> ReadPargenTexts(const std::filesystem::path& path, PargenRoot root)
{
    if (!ExistsAnyCase(path)) return std::nullopt;
    pugi::xml_document xml;
    LoadXmlFile(path, xml);
    return textsOf(xml, root);
}

PargenTexts ParsePargenTexts(const std::string& bytes, const std::filesystem::path& path, PargenRoot root)
{
    pugi::xml_document xml;
    LoadXmlBytes(bytes, path, xml);
    return textsOf(xml, root);
}

PargenReadResult ReadPargenInto(const std::filesystem::path& path, PargenValues& values)
{
    std::optional<PargenTexts> read;
    try {
        read = ReadPargenTexts(path);
    } catch (const Error&) {
        return {PargenLoad::Unreadable, false};
    }
    if (!read) return {PargenLoad::NoDocument, false};

    const PargenTexts& t = *read;
    const PargenValues defaults;
    PargenReadResult result{PargenLoad::Read, false};

    values.BaudRateCAN = listPosition(t["BaudRateCAN"], defaults.BaudRateCAN, kCanBitRateCount);
    const std::optional<std::int32_t> canType = t["CANType"] ? TryStrToInt(*t["CANType"]) : std::nullopt;
    result.canTypeRead = canType.has_value();
    values.CANType29Bit = canType ? *canType != 0 : defaults.CANType29Bit;
    values.Baud_Ser = listPosition(t["Baud_Ser"], defaults.Baud_Ser, kSerialBitRateCount);
    values.Par_Ser = listPosition(t["Par_Ser"], defaults.Par_Ser, kParityCount);
    values.IDDev_Ser = textOr(t["IDDev_Ser"], "1");
    values.TimeOut_Ser = textOr(t["TimeOut_Ser"], "1000");
    values.TimeOut_Data = textOr(t["TimeOut_Data"], "0");
    values.TO_ModReg = textOr(t["TO_ModReg"], "1");
    values.Peer_to_Peer = isOne(t["Peer_to_Peer"], defaults.Peer_to_Peer);
    values.SerialRS485 = isOne(t["Serial"], defaults.SerialRS485);
    values.Write_J1939 = isOne(t["Write_J1939"], defaults.Write_J1939);
    values.En_Rem_Req = isOne(t["En_Rem_Req"], defaults.En_Rem_Req);
    values.Pri_Des = textOr(t["Pri_Des"], "0");
    values.PGN1 = textOr(t["PGN1"], "0");
    values.PGN2 = textOr(t["PGN2"], "0");
    values.SA = textOr(t["SA"], "0");
    return result;
}

std::string PargenXml(const PargenValues& values)
{
    const auto flag = [](bool on) { return std::string(on ? "1" : "0"); };
    const std::array<std::string, kPargenElementCount> texts = {
        std::to_string(values.BaudRateCAN), flag(values.CANType29Bit), std::to_string(values.Baud_Ser),
        std::to_string(values.Par_Ser),     values.IDDev_Ser,          values.TimeOut_Ser,
        values.TimeOut_Data,                values.TO_ModReg,          flag(values.Peer_to_Peer),
        flag(values.SerialRS485),           flag(values.Write_J1939),  flag(values.En_Rem_Req),
        values.Pri_Des,                     values.PGN1,               values.PGN2,
        values.SA,
    };

    pugi::xml_document xml;
    pugi::xml_node root = xml.append_child(kPargenRoot.data());
    for (std::size_t i = 0; i < kPargenElementCount; ++i) {
        pugi::xml_node element = root.append_child(kPargenElements[i].data());
        // An empty text is an element without content, not an empty text node.
        if (!texts[i].empty()) element.append_child(pugi::node_pcdata).set_value(texts[i].c_str());
    }
    return SerializeXml(xml);
}

void WritePargen(const std::filesystem::path& path, const PargenValues& values)
{
    WriteDocument(path, PargenXml(values));
}

bool WriteOnRequestEnabled(const std::filesystem::path& path)
{
    try {
        const std::optional<PargenTexts> read = ReadPargenTexts(path);
        if (!read || !(*read)["Write_J1939"]) return false;
        const std::optional<std::int32_t> value = TryStrToInt(*(*read)["Write_J1939"]);
        return value && (*value & 0xFF) != 0;
    } catch (const Error&) {
        return false;
    }
}

}  // namespace trelvant
