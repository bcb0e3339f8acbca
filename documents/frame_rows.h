#pragma once

#include "documents/direction.h"
#include "documents/frame_list_document.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace trelvant {

// The number of rows that make the list: those before the first row whose first text (PGN or
// Priority) is empty.
std::size_t FrameListLength(const std::vector<FrameRow>& rows);

// The row checks of the frame list editor's OK over the rows of the list: the message of the
// first failing check, "Error in row <n>" followed by the check's own text, or nothing when all
// pass. A number that the integer conversion refuses, an empty text included, counts as -1.
std::optional<std::string> CheckFrameRows(Direction direction, const std::vector<FrameRow>& rows);

// Cuts a loaded list to the editor's kMaxFrames rows. When frames were left out, the message
// says how many the document at path holds and that only the first kMaxFrames are written back.
std::optional<std::string> KeepEditableFrames(const std::filesystem::path& path, std::vector<FrameRow>& rows);

}  // namespace trelvant
