// The byte map reading pass over a project folder holding a frame list and a byte map, in both
// directions: what it reports matches what it made, and a byte map written by the editors reads
// back as the same register entries, in ascending Index order.
//
// Input: the frame list document, the separator line, the byte map document. A missing part
// leaves its document absent.
#include "documents/byte_map_document.h"
#include "documents/frame_list_document.h"
#include "documents/integer_conversion.h"
#include "platform/error.h"
#include "tests/fuzz/fuzz_support.h"

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

using namespace trelvant;
using fuzz::Check;

namespace {

class Recording final : public ReadingReport {
public:
    void frame(const std::vector<std::string>& texts) override { frames.push_back(texts); }
    void error(const std::string& message) override { errors.push_back(message); }

    std::vector<std::vector<std::string>> frames;
    std::vector<std::string> errors;
};

using Entry = std::tuple<std::int32_t, std::string, std::string, std::string>;  // frame number, texts

std::vector<Entry> Entries(const ByteMap& byteMap)
{
    std::vector<Entry> entries;
    for (const TClPdo& frame : byteMap)
        for (const TClIndMB& entry : frame.registers)
            entries.emplace_back(frame.NrPdo, entry.Index, entry.PosComp, entry.Write_J1939);
    std::ranges::sort(entries);
    return entries;
}

void ReadAndWriteBack(const std::filesystem::path& folder, Direction direction)
{
    Recording report;
    const ByteMap byteMap = ReadByteMap(folder, direction, report);

    Check(report.frames.size() == byteMap.size(), "frames reported and frame entries made differ");
    for (const auto& texts : report.frames)
        Check(texts.size() == ByteMapFrameAttributes(direction).size(), "a frame reported with too few texts");
    for (std::size_t i = 0; i < byteMap.size(); ++i)
        Check(byteMap[i].NrPdo == static_cast<std::int32_t>(i + 1), "a frame entry numbered out of its place");
    Check(report.errors.size() <= 2, "more than one message per stage");
    for (std::size_t i = 0; i < report.errors.size(); ++i)
        Check(report.errors[i] == kFrameListReadError || report.errors[i] == kByteMapReadError,
              "an unknown reading message: " + report.errors[i]);
    if (report.errors.size() == 2)
        Check(report.errors[0] == kFrameListReadError && report.errors[1] == kByteMapReadError,
              "the two stages reported out of order");

    std::string written;
    try {
        written = ByteMapXml(direction, byteMap);
    } catch (const Error&) {
        return;  // an Index that is not an integer: the editor shows the conversion error
    }
    fuzz::WriteBytes(ByteMapPath(folder, direction), written);
    Recording again;
    const ByteMap reread = ReadByteMap(folder, direction, again);
    Check(std::ranges::count(again.errors, std::string(kByteMapReadError)) == 0,
          "the written byte map does not read: " + written);
    Check(reread.size() == byteMap.size(), "the frames changed between two readings");
    Check(Entries(reread) == Entries(byteMap), "the written byte map reads back other register entries: " + written);
    // Values above the ordering bound keep their scan order among themselves.
    const auto orderKey = [](const TClIndMB& e) { return std::min<std::int64_t>(StrToInt(e.Index), kByteMapOrderBound + 1LL); };
    for (const TClPdo& frame : reread)
        Check(std::ranges::is_sorted(frame.registers, {}, orderKey), "register entries of a frame read back out of Index order");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::string_view> parts = fuzz::SplitInput(data, size, 2);
    for (const Direction direction : {Direction::Receive, Direction::Transmit}) {
        const std::filesystem::path folder = fuzz::FreshFolder("project");
        fuzz::WriteBytes(FrameListPath(folder, direction), parts[0]);
        if (parts.size() > 1) fuzz::WriteBytes(ByteMapPath(folder, direction), parts[1]);
        ReadAndWriteBack(folder, direction);
    }
    return 0;
}
