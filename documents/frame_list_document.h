#pragma once

#include "documents/direction.h"

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace trelvant {

// The frame list documents: "RCobDef.xml" lists the frames the gateway receives, "TCobDef.xml"
// those it sends. A frame's number is its position, counted from 1, among the root's children.
inline constexpr std::string_view kReceiveFrameListFileName = "RCobDef.xml";
inline constexpr std::string_view kTransmitFrameListFileName = "TCobDef.xml";
inline constexpr std::string_view kFrameListRoot = "COBID";
inline constexpr std::string_view kFrameRowElement = "row";

// The most frames a frame list editor shows.
inline constexpr std::size_t kMaxFrames = 250;

// project folder / "RCobDef.xml" or "TCobDef.xml".
std::filesystem::path FrameListPath(const std::filesystem::path& projectFolder, Direction direction);

// The attributes of a frame row, in the order written: PGN, ID_DEV, Delete, Mnemonic (receive);
// Priority, DP, PGN, ID_DEV, Mnemonic (transmit). They are also the editor's data columns.
std::span<const std::string_view> FrameListAttributes(Direction direction);

// One frame: one text per attribute of FrameListAttributes, as typed. Missing trailing texts
// are empty.
using FrameRow = std::vector<std::string>;

// The document's bytes. The list ends before the first row whose first text (PGN or Priority)
// is empty: that row and every row after it are not written. Every written row carries every
// attribute, an empty value included.
std::string FrameListXml(Direction direction, const std::vector<FrameRow>& rows);

// Replaces the document at path. Throws Error("Unable to write to <path>") and leaves the old
// file as it was when it cannot be written.
void WriteFrameList(const std::filesystem::path& path, Direction direction, const std::vector<FrameRow>& rows);

// What the frame list editor loads: the rows read, and the message of the failure that stopped
// the load, if any. Rows read before a failure stay.
struct FrameListLoad {
    std::vector<FrameRow> rows;
    std::optional<std::string> error;
};

// The frame list editor's load: the root must be COBID; each child element, whatever its name,
// is one row, its attributes read by name. A receive row without Delete reads "N"; any other
// missing attribute stops the load. A missing file is an empty list without a failure.
FrameListLoad ReadFrameListForEditor(const std::filesystem::path& path, Direction direction);

}  // namespace trelvant
