// Candump log lines: ParseCandumpLine on the input as one line, and CandumpReader on the input as a
// log file. Whatever the bytes, a frame read has at most 8 bytes and an identifier of its width, and
// its text (CandumpLineText) reads back as the same frame; the reader gives the frames and counts of
// ParseCandumpLine applied to each line, wherever its blocks end; a frame made of the input's first
// bytes, any time and identifier, reads back from its text.
#include "platform/error.h"
#include "replay/can_log.h"
#include "tests/fuzz/fuzz_support.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace trelvant;
using fuzz::Check;

namespace {

constexpr std::size_t kFirstBlock = 64 * 1024;  // what the reader reads first

std::string Shown(const CanFrame& frame)
{
    return CandumpLineText(frame) + " (id " + std::to_string(frame.id) + ", length " + std::to_string(frame.length) +
           ")";
}

void CheckFrame(const CanFrame& frame)
{
    Check(frame.length <= 8, "a frame of more than 8 bytes: " + Shown(frame));
    Check(frame.id <= (frame.extended ? 0x1FFFFFFFu : 0x7FFu), "an identifier beyond its width: " + Shown(frame));
    for (std::size_t i = frame.length; i < frame.data.size(); ++i)
        Check(frame.data[i] == 0, "a byte beyond the length: " + Shown(frame));
    const CandumpLine again = ParseCandumpLine(CandumpLineText(frame, "vcan0"));
    Check(again.kind == CandumpLineKind::Frame && again.frame == frame,
          "a frame's text reads back otherwise: " + Shown(frame));
}

// What the reader must give for a log: ParseCandumpLine on each line, a line too long malformed.
struct Expected {
    std::vector<CanFrame> frames;
    CandumpSkipped skipped;
    std::size_t lines = 0;
};

Expected LineByLine(std::string_view log)
{
    Expected expected;
    while (!log.empty()) {
        const std::size_t end = log.find('\n');
        std::string_view text = log.substr(0, end);
        log.remove_prefix(end == std::string_view::npos ? log.size() : end + 1);
        if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
        ++expected.lines;
        const CandumpLine line = text.size() > CandumpReader::kMaxLineLength ? CandumpLine{} : ParseCandumpLine(text);
        CandumpSkipped& skipped = expected.skipped;
        switch (line.kind) {
        case CandumpLineKind::Frame: expected.frames.push_back(line.frame); break;
        case CandumpLineKind::Blank: break;
        case CandumpLineKind::Remote: ++skipped.remote; break;
        case CandumpLineKind::Fd: ++skipped.fd; break;
        case CandumpLineKind::Error: ++skipped.error; break;
        case CandumpLineKind::Malformed:
            if (skipped.malformed++ == 0) skipped.firstMalformedLine = expected.lines;
            break;
        }
    }
    return expected;
}

// Comment lines of so many bytes.
std::string Padding(std::size_t bytes)
{
    std::string padding;
    while (padding.size() < bytes)
        padding += std::string(std::min<std::size_t>(100, bytes - padding.size()) - 1, '#') + "\n";
    return padding;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    const CandumpLine line = ParseCandumpLine(input);
    if (line.kind == CandumpLineKind::Frame) CheckFrame(line.frame);
    else Check(line.frame == CanFrame{}, "a frame given with a line of another kind");

    // An odd first byte puts comments before the input, so that the reader's first block ends
    // within the input's first 8 KiB, where a line too long to hold may be cut by it.
    std::string log;
    if (size > 0 && data[0] % 2 == 1) log = Padding(kFirstBlock - 8192 + std::size_t{data[0]} * 32);
    log += input;
    const std::filesystem::path file = fuzz::Scratch() / "candump.log";
    fuzz::WriteBytes(file, log);
    const Expected expected = LineByLine(log);
    std::vector<CanFrame> frames;
    try {
        CandumpReader reader(file);
        while (const std::optional<CanFrame> frame = reader.next()) {
            CheckFrame(*frame);
            frames.push_back(*frame);
        }
        const CandumpSkipped& skipped = reader.skipped();
        const CandumpSkipped& want = expected.skipped;
        Check(reader.lines() == expected.lines, "lines counted: " + std::to_string(reader.lines()) + ", not " +
                                                    std::to_string(expected.lines));
        Check(skipped.remote == want.remote && skipped.fd == want.fd && skipped.error == want.error &&
                  skipped.malformed == want.malformed && skipped.firstMalformedLine == want.firstMalformedLine,
              "the lines passed over are counted otherwise than line by line");
    } catch (const Error& e) {
        fuzz::Fail(std::string("the reader refused a readable log: ") + e.what());
    }
    Check(frames == expected.frames, "the reader gives other frames than line by line");

    // Any time, identifier and bytes.
    if (size >= 22) {
        CanFrame frame;
        std::memcpy(&frame.time, data, 8);
        std::memcpy(&frame.id, data + 8, 4);
        frame.extended = (data[12] & 1) != 0;
        frame.id &= frame.extended ? 0x1FFFFFFFu : 0x7FFu;
        frame.length = static_cast<std::uint8_t>(data[13] % 9);
        std::memcpy(frame.data.data(), data + 14, frame.length);
        CheckFrame(frame);
    }
    return 0;
}
