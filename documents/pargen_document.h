#pragma once

#include <array>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace trelvant {

// The communication parameters document of a project. The communication dialog writes it as
// "pargen.xml"; the image builder and the transmit byte map editor open it as "Pargen.xml".
inline constexpr std::string_view kPargenFileName = "pargen.xml";
inline constexpr std::string_view kPargenRoot = "GeneralParameter";

// The sixteen elements under the root, in the order the writer puts them.
inline constexpr std::size_t kPargenElementCount = 16;
inline constexpr std::array<std::string_view, kPargenElementCount> kPargenElements = {
    "BaudRateCAN", "CANType",  "Baud_Ser",    "Par_Ser",    "IDDev_Ser", "TimeOut_Ser", "TimeOut_Data", "TO_ModReg",
    "Peer_to_Peer", "Serial",  "Write_J1939", "En_Rem_Req", "Pri_Des",   "PGN1",        "PGN2",         "SA",
};

// The items of the communication dialog's lists; the document stores the chosen item's position.
inline constexpr std::array<std::string_view, 9> kCanBitRates = {"10",  "20",  "50",  "100", "125",
                                                                 "250", "500", "800", "1000"};  // kbit/s
inline constexpr std::array<std::string_view, 8> kSerialBitRates = {"1200",  "2400",  "4800",  "9600",
                                                                    "19200", "38400", "57600", "115200"};  // bit/s
inline constexpr std::array<std::string_view, 3> kParities = {"NONE", "ODD", "EVEN"};

// Number of items in the dialog's lists; a stored position outside them selects nothing.
inline constexpr int kCanBitRateCount = static_cast<int>(kCanBitRates.size());
inline constexpr int kSerialBitRateCount = static_cast<int>(kSerialBitRates.size());
inline constexpr int kParityCount = static_cast<int>(kParities.size());

// What the communication dialog shows and writes. The initial values are the dialog's initial
// values, which are also the defaults of every element that cannot be read.
struct PargenValues {
    int BaudRateCAN = 0;  // list position, -1 when no item is selected
    bool CANType29Bit = true;  // "1": 29-bit identifiers, "0": 11-bit
    int Baud_Ser = 3;  // list position ("9600"), -1 when none
    int Par_Ser = 0;  // list position ("NONE"), -1 when none
    std::string IDDev_Ser = "1";
    std::string TimeOut_Ser = "1000";
    std::string TimeOut_Data = "0";
    std::string TO_ModReg = "1";
    bool Peer_to_Peer = false;
    bool SerialRS485 = true;  // "1": RS485, "0": RS232
    bool Write_J1939 = false;
    bool En_Rem_Req = false;
    std::string Pri_Des = "0";
    std::string PGN1 = "0";
    std::string PGN2 = "0";
    std::string SA = "0";

    bool operator==(const PargenValues&) const = default;
};

// The stored texts of the sixteen elements, in the table's order. An element that is missing,
// or whose content is more than one text, has no text.
struct PargenTexts {
    bool hasRoot = false;
    std::array<std::optional<std::string>, kPargenElementCount> texts;

    // The text of the named element; element must be one of kPargenElements.
    const std::optional<std::string>& operator[](std::string_view element) const;
};

// Which root the texts are read under.
enum class PargenRoot {
    Named,  // the root must be GeneralParameter, as the communication dialog reads it
    Any,    // the root's children whatever the root is called, as the image builder reads it
};

// nullopt when no file of that name exists in any case; throws Error when it cannot be read or
// parsed.
std::optional<PargenTexts> ReadPargenTexts(const std::filesystem::path& path, PargenRoot root = PargenRoot::Named);

// The same for the bytes of the document at path; throws Error when they do not parse.
PargenTexts ParsePargenTexts(const std::string& bytes, const std::filesystem::path& path,
                             PargenRoot root = PargenRoot::Named);

enum class PargenLoad {
    NoDocument,  // no file: nothing read
    Unreadable,  // the file cannot be read or parsed: nothing read
    Read,        // every value set from its element or its default
};

struct PargenReadResult {
    PargenLoad load = PargenLoad::NoDocument;
    bool canTypeRead = false;  // CANType held an integer
};

// Reads the document into the dialog's values. Without a readable document the values stay as
// they are; otherwise every value is set, to its default where its element is missing or
// unusable. Never throws for the document's content and reports nothing.
PargenReadResult ReadPargenInto(const std::filesystem::path& path, PargenValues& values);

// The document's bytes for these values: the sixteen elements in the table's order.
std::string PargenXml(const PargenValues& values);

// Replaces the document. Throws Error("Unable to write to <path>") and leaves the old file as it
// was when it cannot be written.
void WritePargen(const std::filesystem::path& path, const PargenValues& values);

// Whether the transmit byte map editor lets the user choose to write frames on request: the
// integer value of Write_J1939 has a non-zero low byte. A missing or unreadable document, a
// missing element or a text that is not an integer gives false.
bool WriteOnRequestEnabled(const std::filesystem::path& path);

}  // namespace trelvant
