#include "documents/frame_rows.h"

#include "documents/integer_conversion.h"
#include "platform/file_names.h"

#include <cstdint>
#include <span>

namespace trelvant {
namespace {

struct RowCheck {
    std::size_t column;  // index into the row's texts
    std::int32_t low;
    std::int32_t high;
    const char* message;
};

const RowCheck kReceiveChecks[] = {
    {1, 0, 239, "!! The ID Device must be between 0 and 239"},
};
const RowCheck kTransmitChecks[] = {
    {0, 0, 7, "!! The Priority of J1939 frame must be between 0 and 7"},
    {1, 0, 1, "!! The Data Page of J1939 frame must be either 0 or 1"},
    {3, 0, 239, "!! The ID Device must be between 0 and 239"},
};

}  // namespace

std::size_t FrameListLength(const std::vector<FrameRow>& rows)
{
    std::size_t length = 0;
    while (length < rows.size() && !rows[length].empty() && !rows[length].front().empty()) ++length;
    return length;
}

std::optional<std::string> CheckFrameRows(Direction direction, const std::vector<FrameRow>& rows)
{
    const std::span<const RowCheck> checks =
        direction == Direction::Receive ? std::span<const RowCheck>(kReceiveChecks) : std::span<const RowCheck>(kTransmitChecks);
    const std::size_t length = FrameListLength(rows);
    for (std::size_t r = 0; r < length; ++r) {
        for (const RowCheck& check : checks) {
            const std::string& text = check.column < rows[r].size() ? rows[r][check.column] : std::string();
            const std::int32_t value = StrToIntDef(text, -1);
            if (value < check.low || value > check.high)
                return "Error in row " + std::to_string(r + 1) + check.message;
        }
    }
    return std::nullopt;
}

std::optional<std::string> KeepEditableFrames(const std::filesystem::path& path, std::vector<FrameRow>& rows)
{
    if (rows.size() <= kMaxFrames) return std::nullopt;
    const std::size_t held = rows.size();
    rows.resize(kMaxFrames);
    return DisplayPath(path) + " holds " + std::to_string(held) + " frames, of which only the first " +
           std::to_string(kMaxFrames) + " can be edited; OK writes these " + std::to_string(kMaxFrames) + " only";
}

}  // namespace trelvant
