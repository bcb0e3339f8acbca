#pragma once

// The configuration image read back as the device firmware reads it: the parameter block, the
// build date and time, and the tables of banks 1 and 2, each value beside what it means. The
// CANType byte tells the layout: 1 the J1939 layout of a build with pargen.xml, 0 the CAN 2.0A
// layout of a build without it (11-bit identifiers, an identifier index in place of the receive
// frame table, the frames in bank 2, no parameter block and no counts). Banks 3 to 5 hold
// nothing the device reads and are not decoded.

#include "image/configuration_image.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trelvant {

// One field of the parameter block, named after the pargen.xml element it is built from.
struct DumpParameter {
    std::string name;        // "BaudRateCAN"
    std::size_t offset = 0;  // in bank 1
    int width = 1;           // bytes
    std::uint32_t stored = 0;
    std::string meaning;     // "250 kbit/s", "RS485", "ms"; empty when the number says all
    bool marked = false;     // the value lies outside what the field may hold

    bool operator==(const DumpParameter&) const = default;
};

struct DumpDate {
    std::uint16_t word = 0;
    int day = 0, month = 0, year = 0;  // year: the two digits the device keeps
    bool marked = false;               // no such day or month

    bool operator==(const DumpDate&) const = default;
};

struct DumpTime {
    std::uint16_t word = 0;
    int hour = 0, minute = 0, second = 0;  // second: the halved field doubled
    bool marked = false;                   // no such hour or minute

    bool operator==(const DumpTime&) const = default;
};

struct DumpReceiveFrame {
    std::uint32_t pgn = 0;
    std::uint8_t device = 0;
    std::uint8_t position = 0;  // as stored: the builder writes the 0-based row
    bool deleted = false;       // its delete flag
    std::optional<std::size_t> sameAs;  // the first earlier frame of the same PGN and device, 0-based

    bool operator==(const DumpReceiveFrame&) const = default;
};

// A transmit frame's 29-bit identifier and the J1939 fields in it.
struct DumpTransmitFrame {
    std::uint32_t identifier = 0;
    unsigned priority = 0;  // bits 26 to 28
    unsigned dataPage = 0;  // bit 24
    unsigned pgn = 0;       // bits 8 to 25: the J1939 PGN with its data page (130816 for $FF00 on page 1)
    unsigned device = 0;    // bits 0 to 7
    bool marked = false;    // bit 25 or a bit above 28 is set: no field holds it

    bool operator==(const DumpTransmitFrame&) const = default;
};

// CAN 2.0A: an identifier that the bitmap lists or whose index entry names a frame.
struct DumpIdentifierEntry {
    std::uint16_t identifier = 0;  // 0 to 2047
    bool listed = false;           // its bit in the bitmap is set: the device looks its entry up
    std::uint16_t entry = 0;       // the 0-based receive frame; 0xFFFF, as every build leaves it, for none
    bool namesItsFrame = false;    // the entry names a receive frame of this identifier

    bool marked() const { return !listed || !namesItsFrame; }
    bool operator==(const DumpIdentifierEntry&) const = default;
};

// CAN 2.0A: a frame of bank 2, its 11-bit identifier and its device.
struct DumpStandardFrame {
    std::uint16_t identifier = 0;
    std::uint8_t device = 0;
    // Receive frames: the 0-based frame that the index entry of the identifier names; none when
    // the bitmap does not list the identifier or it is above 2047. Transmit frames: none.
    std::optional<std::uint16_t> entry;
    bool marked = false;  // an identifier above 2047; a receive frame that its identifier does not lead to

    bool operator==(const DumpStandardFrame&) const = default;
};

struct DumpMapRow {
    std::uint16_t index = 0;      // the Modbus register
    std::uint8_t nrPdo = 0;       // as stored: the 1-based number of the frame in its list
    bool frameExists = false;     // nrPdo names one of the frames the list's count holds
    std::uint8_t posComp = 0;     // 16 x high-byte choice + low-byte choice
    std::optional<std::uint8_t> writeJ1939;  // transmit rows only

    int high() const { return posComp >> 4; }  // 0 none, 1 to 8 B1 to B8, above 8 no byte
    int low() const { return posComp & 0x0F; }
    bool operator==(const DumpMapRow&) const = default;
};

// A table's count and the rows that count names, as many as the table's room holds. The J1939
// layout stores the counts in the parameter block. The CAN 2.0A layout stores none: there the
// receive frames are as many as the identifier index names, and the other tables run to their
// last row that holds a byte other than zero (the transmit frames at least to the last that a
// transmit map row names), as a build into a fresh image leaves them.
template <typename Row>
struct DumpTable {
    std::uint16_t count = 0;
    std::size_t room = 0;
    std::vector<Row> rows;

    bool overflows() const { return count > room; }
    bool operator==(const DumpTable&) const = default;
};

enum class DumpLayout {
    J1939,   // CANType 1 (or any other value but 0, marked)
    Can20A,  // CANType 0
};

struct ImageDump {
    DumpLayout layout = DumpLayout::J1939;
    // The bank files lie in a bin folder whose last build stopped among its renames: they may
    // come from two builds. Set by the reader of the files; the image cannot tell.
    bool unfinishedBuild = false;
    // In the order of the pargen.xml elements; in the CAN 2.0A layout CANType alone.
    std::vector<DumpParameter> parameters;
    DumpDate date;
    DumpTime time;
    // The J1939 layout.
    DumpTable<DumpReceiveFrame> receiveFrames;
    DumpTable<DumpTransmitFrame> transmitFrames;
    // The CAN 2.0A layout: the identifiers in identifier order, and the frames of bank 2.
    std::vector<DumpIdentifierEntry> identifierIndex;
    DumpTable<DumpStandardFrame> standardReceiveFrames;
    DumpTable<DumpStandardFrame> standardTransmitFrames;
    // Both layouts.
    DumpTable<DumpMapRow> receiveMap;
    DumpTable<DumpMapRow> transmitMap;

    // The field of that name; nullptr when there is none.
    const DumpParameter* parameter(std::string_view name) const;
};

// Decodes banks 1 and 2. Any bytes decode: a count beyond its table's room shows the rows that
// fit, and a value no build writes is marked.
ImageDump DumpConfigurationImage(const ConfigurationImage& image);

// "B1" to "B8" for a byte choice of 1 to 8, "none" for 0, nullopt above 8.
std::optional<std::string> ByteChoiceName(int choice);

// Readable tables, one line ending in "\n" each.
std::string DumpText(const ImageDump& dump);

// One JSON object, ending in "\n": the layout, parameters by name, date, time and the tables
// with their counts, every number in decimal.
std::string DumpJson(const ImageDump& dump);

}  // namespace trelvant
