#pragma once

#include "documents/byte_map.h"
#include "documents/direction.h"
#include "documents/reading_report.h"
#include "documents/row_document.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace trelvant {

// The byte map documents: "RInfoCob.xml" (root RInfoCob) for the receive frames of RCobDef.xml,
// "TInfoCob.xml" (root TInfoCob) for the transmit frames of TCobDef.xml. One row per register
// entry, in ascending Index value.
inline constexpr std::string_view kReceiveByteMapName = "RInfoCob";
inline constexpr std::string_view kTransmitByteMapName = "TInfoCob";

// The reading pass's two messages: the frame list stage and the rows stage stopped.
inline constexpr std::string_view kFrameListReadError = "Error in reading file PDO XML";
inline constexpr std::string_view kByteMapReadError = "Error in reading file SDOPDO XML";

// The writer orders Index values up to this one among themselves; larger values follow them.
inline constexpr std::int32_t kByteMapOrderBound = 10066329;  // 0x999999

// project folder / "RInfoCob.xml" or "TInfoCob.xml".
std::filesystem::path ByteMapPath(const std::filesystem::path& projectFolder, Direction direction);

// The frame attributes the reading pass hands over, in this order.
std::span<const std::string_view> ByteMapFrameAttributes(Direction direction);

// The reading pass. Makes one frame entry per child of the frame list document's root (whatever
// the root's name), after handing the frame's texts to report, then attaches each row of the
// byte map document to the frame entry numbered by its NrPdo. Rows whose NrPdo exceeds the
// number of frames are dropped without a message. Each stage stops at its first failure and
// reports one message; what was read before stays. Never throws for the documents' content.
ByteMap ReadByteMap(const std::filesystem::path& projectFolder, Direction direction, ReadingReport& report);

// The same pass over documents already parsed; null for a document that is not there.
ByteMap ReadByteMap(const RowDocument* frames, const RowDocument* rows, Direction direction, ReadingReport& report);

// A register entry of a byte map: its frame entry's position and its own within that frame entry.
struct ByteMapPosition {
    std::size_t frame = 0;
    std::size_t entry = 0;

    bool operator==(const ByteMapPosition&) const = default;
};

// The register entries in the order of the document's rows (below). Throws the integer
// conversion's Error for the first Index text that is not an integer.
std::vector<ByteMapPosition> ByteMapRowOrder(const ByteMap& byteMap);

// The same order for a byte map still being edited: entries whose Index is not an integer, which
// no document can hold, follow all others in sequence. Never throws.
std::vector<ByteMapPosition> ByteMapRowOrderOfAny(const ByteMap& byteMap);

// The document's bytes: a row per register entry, ordered by the integer value of its Index;
// among equal values the entry that comes later (frame entries in sequence, then register
// entries in sequence) goes first; values above kByteMapOrderBound go after all others, in the
// same order among themselves. Throws the integer conversion's Error for the first Index text
// that is not an integer.
std::string ByteMapXml(Direction direction, const ByteMap& byteMap);

// The bytes of a document with a row per entry in the order given.
std::string ByteMapXml(Direction direction, const ByteMap& byteMap, const std::vector<ByteMapPosition>& order);

// Replaces the document. When an Index text is not an integer, or the file cannot be written,
// throws Error and leaves the old file as it was.
void WriteByteMap(const std::filesystem::path& projectFolder, Direction direction, const ByteMap& byteMap);

}  // namespace trelvant
