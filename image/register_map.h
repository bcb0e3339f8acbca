#pragma once

// The register map of a project: every Modbus holding register the gateway serves, with the frame
// and the frame bytes behind it, as the configuration image built from the project holds them.
// The documents are read as the image builder reads them: values are the integers the builder
// stores, cut to their fields; a value that is not an integer is shown as typed and has no number.

#include "documents/direction.h"
#include "image/project_check.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace trelvant {

enum class RegisterMapLayout {
    J1939,   // the project has pargen.xml: 29-bit identifiers
    Can20A,  // no pargen.xml: 11-bit identifiers, no parameter block
};

// One half of a register tied to a frame byte.
struct ByteUse {
    std::uint16_t reg = 0;
    bool high = false;  // the register's high byte; else its low byte

    bool operator==(const ByteUse&) const = default;
};

// A frame of a frame list as the image holds it.
struct MapFrame {
    Direction direction = Direction::Receive;
    bool j1939 = true;       // a 29-bit J1939 frame; else a CAN 2.0A frame with an 11-bit identifier
    std::size_t number = 0;  // counted from 1, its NrPdo
    std::string mnemonic;
    std::string pgnText;  // as typed
    // Receive: the 32 bits of the stored PGN (J1939) or the 11-bit identifier (CAN 2.0A).
    // Transmit: the PGN of the identifier, bits 8 to 25 with the data page (J1939; 130816 for $FF00
    // on data page 1, as the dump shows it), or the 16 bits stored (CAN 2.0A).
    // None when the text is not an integer.
    std::optional<std::uint32_t> pgn;
    std::optional<std::uint8_t> device;  // ID_DEV as stored: the source address, or the identifier's low byte
    // Transmit frames of the J1939 layout: the identifier the builder adds up, and its fields.
    std::optional<std::uint32_t> identifier;
    unsigned priority = 0;  // bits 26 to 28
    unsigned dataPage = 0;  // bit 24
    // Per data byte B1 to B8: the register halves that fill it (receive) or drive it (transmit),
    // in register order.
    std::array<std::vector<ByteUse>, 8> bytes;
    std::vector<Finding> findings;  // of its frame list row

    // The J1939 PDU format of the PGN, bits 8 to 15; PDU1 (destination-specific) below 240, with
    // the destination address in the PDU specific byte, bits 0 to 7.
    std::optional<std::uint8_t> pduFormat() const;
    bool pdu1() const { return pduFormat() && *pduFormat() < 240; }
    std::uint8_t destination() const { return pgn ? static_cast<std::uint8_t>(*pgn & 0xFF) : 0; }
};

enum class RegisterRole {
    Received,   // a row of the receive byte map: filled from a received frame
    Sent,       // a row of the transmit byte map: put into a sent frame
    Parameter,  // a register that pargen.xml gives a meaning of its own
};

struct MapRegister {
    RegisterRole role = RegisterRole::Received;
    std::optional<std::uint16_t> reg;  // as stored, cut to 16 bits; none when Index is not an integer
    std::string indexText;             // as typed
    // Byte map rows.
    std::size_t documentRow = 0;                // counted from 1; also its row in the image's map table
    std::optional<std::uint8_t> frameNumber;    // NrPdo as stored; none when it is not an integer
    std::optional<std::size_t> frame;           // its frame's position in frames(); none when the list has none
    std::optional<std::uint8_t> posComp;        // as stored; none when it is not an integer
    // Sent registers: the flag as stored (0 without the attribute or an integer in it), and whether
    // it is in effect: set, with pargen.xml's Write_J1939 switch on.
    std::uint8_t writeFlag = 0;
    bool writeInEffect = false;
    // Parameter registers: the pargen.xml element, and whether it serves remote requests.
    std::string parameter;
    bool remoteRequest = false;
    std::vector<Finding> findings;  // of its byte map row, or of its pargen.xml element

    int high() const { return posComp ? *posComp >> 4 : 0; }  // 0 none, 1 to 8 B1 to B8, above 8 no byte
    int low() const { return posComp ? *posComp & 0x0F : 0; }
    // Two neighbouring bytes: "least significant byte first" when high is B(n+1) and low B(n), as
    // J1939 sends its 16-bit values; "most significant byte first" the other way round.
    std::optional<std::string> byteOrder() const;
};

struct RegisterMap {
    std::string projectName;  // the project folder's name
    RegisterMapLayout layout = RegisterMapLayout::J1939;
    // pargen.xml as the device gets it; none without pargen.xml or for a value that is no integer.
    std::optional<std::string> canBitRate;     // "250 kbit/s"
    std::optional<std::string> serialSettings;  // "9600 bit/s, parity NONE, RS485"
    std::optional<std::uint8_t> slaveId;        // IDDev_Ser: the unit id the gateway answers
    bool writeEnabled = false;                  // Write_J1939 switch on
    bool remoteRequests = false;                // En_Rem_Req switch on
    std::vector<MapFrame> receiveFrames;
    std::vector<MapFrame> transmitFrames;
    // Ordered by register, then receive, sent and parameter registers, then document row; those
    // without a register number last.
    std::vector<MapRegister> registers;
    std::vector<Finding> otherFindings;  // of the check, about neither a register nor a frame

    const MapFrame* frameOf(const MapRegister& reg) const;
    std::size_t count(Severity severity) const;  // every finding of the project
};

// Reads the project's five documents and the check's findings into the register map. A missing
// document has nothing to show; a document that cannot be read is a finding. Throws only what
// the file system raises beyond the documents' content.
RegisterMap ReadRegisterMap(const std::filesystem::path& projectFolder);

// "B1" to "B8", "none", or "byte 12" for a choice no frame has.
std::string ByteChoiceText(int choice);

// The notes on what the configuration leaves to the device, each one paragraph.
std::vector<std::string> RegisterMapNotes(const RegisterMap& map);

enum class RegisterMapFormat { Text, Csv, Html, Markdown };

std::string RegisterMapText(const RegisterMap& map);
std::string RegisterMapCsv(const RegisterMap& map);
std::string RegisterMapHtml(const RegisterMap& map);
std::string RegisterMapMarkdown(const RegisterMap& map);
std::string FormatRegisterMap(const RegisterMap& map, RegisterMapFormat format);

// The HTML register map of the project, written whole as project folder / "register-map.html",
// replacing an older one. Returns the file's path; throws Error("Unable to write to <path>: ...").
inline constexpr const char* kRegisterMapFileName = "register-map.html";
std::filesystem::path WriteRegisterMapHtml(const std::filesystem::path& projectFolder);

}  // namespace trelvant
