#include "replay/replay_gateway.h"

#include "image/bank_files.h"
#include "platform/error.h"

#include <algorithm>
#include <cstdio>
#include <set>

namespace trelvant {
namespace {

// The J1939 transport protocol's connection management PGN, and its announcements.
constexpr std::uint32_t kTransportConnection = 0xEC00;
constexpr std::uint8_t kRequestToSend = 16;
constexpr std::uint8_t kBroadcastAnnounce = 32;

std::string hex(std::uint32_t value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, static_cast<unsigned>(value));
    return text;
}

std::string pgnText(std::uint32_t pgn)
{
    return std::to_string(pgn) + " (" + hex(pgn, pgn > 0xFFFF ? 5 : 4) + ")";
}

std::uint32_t storedParameter(const ImageDump& image, std::string_view name)
{
    const DumpParameter* parameter = image.parameter(name);
    return parameter ? parameter->stored : 0;
}

// A PGN whose PDU format is below 240: its PDU specific byte is a destination address.
bool pdu1(std::uint32_t pgn)
{
    return ((pgn >> 8) & 0xFF) < 240;
}

std::string counted(std::size_t n, const char* what)
{
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

std::string bytesText(const std::vector<int>& bytes)
{
    std::string text;
    for (const int b : bytes) text += (text.empty() ? "B" : ", B") + std::to_string(b);
    return text;
}

}  // namespace

std::vector<std::string> ReplayGateway::Assumptions(const ReplayOptions& options)
{
    std::vector<std::string> lines;
    if (options.pgnMatch == PgnMatch::Literal)
        lines.push_back("--pgn-match literal: a frame matches a receive frame when identifier bits 8 to 25 equal its "
                        "stored PGN, destination address and data page included (--pgn-match j1939 compares J1939 "
                        "PGNs, without the destination of a PDU1 PGN)");
    else
        lines.push_back("--pgn-match j1939: a frame matches a receive frame when their J1939 PGNs are equal; the PDU "
                        "specific byte of a PDU1 PGN (PDU format below 240), its destination, counts on neither side "
                        "(--pgn-match literal compares identifier bits 8 to 25 with the stored value)");
    lines.push_back("Several receive frames of one PGN and source address: the first in table order takes the frames");
    if (options.sendOn == SendOn::FlaggedWrite)
        lines.push_back("--send-on flagged-write: a transmit frame is sent once after a Modbus write (function 06 or "
                        "16) to a register of it whose Write J1939 flag is set, while pargen.xml's Write_J1939 switch "
                        "is on; nothing else sends frames (--send-on any-write: a write to any register of it)");
    else
        lines.push_back("--send-on any-write: a transmit frame is sent once after a Modbus write (function 06 or 16) "
                        "to any register of it, Write J1939 flags and switch aside; nothing else sends frames "
                        "(--send-on flagged-write: only flagged registers, while pargen.xml enables writing)");
    lines.push_back("--undriven-byte " + hex(options.undrivenByte, 2) + ": a transmit byte that no register drives" +
                    (options.undrivenByte == 0xFF ? " is J1939's \"not available\"" : "") + "; frames have 8 bytes");
    lines.push_back("TO_ModReg and the remote request registers are served as read-only 0: what the device does with "
                    "them, the delete flags and Peer_to_Peer is the device's and is not replayed");
    return lines;
}

ReplayGateway::ReplayGateway(const ImageDump& image, ReplayOptions options) : options_(options)
{
    if (image.unfinishedBuild)
        notes_.push_back("The bank files' folder holds " + std::string(kUnfinishedBuildMarker) +
                         ": its last build did not complete and the banks may come from two builds; build again");
    if (image.layout != DumpLayout::J1939)
        throw Error("The image is of the CAN 2.0A layout (a project without pargen.xml, 11-bit identifiers); the "
                    "replay runs J1939 images only");
    unitId_ = static_cast<std::uint8_t>(storedParameter(image, "IDDev_Ser"));
    writeEnabled_ = storedParameter(image, "Write_J1939") != 0;

    for (const DumpReceiveFrame& frame : image.receiveFrames.rows) {
        const std::size_t index = receiveFrames_.size();
        receiveFrames_.push_back({frame.pgn, frame.device, {}});
        const std::uint32_t matched = key(frame.pgn);
        configuredPgns_.emplace(matched, index);
        if (options_.pgnMatch == PgnMatch::Literal && pdu1(frame.pgn))
            byPdu1PgnAndDevice_.emplace(std::pair{frame.pgn & ~0xFFu, frame.device}, index);
        if (const auto [first, added] = byPgnAndDevice_.emplace(std::pair{matched, frame.device}, index); !added)
            notes_.push_back("Receive frame " + std::to_string(index + 1) + " (PGN " + pgnText(frame.pgn) +
                             ", source address " + std::to_string(frame.device) + ") never matches: frame " +
                             std::to_string(first->second + 1) + " takes its frames");
    }
    for (const DumpTransmitFrame& frame : image.transmitFrames.rows)
        transmitFrames_.push_back({frame.identifier, {}, false});
    counts_.matchedPerFrame.assign(receiveFrames_.size(), 0);

    const auto claim = [&](std::uint16_t reg, RegisterUse use, const std::string& what) {
        if (uses_[reg] == RegisterUse::None || uses_[reg] == use) {
            uses_[reg] = use;
            return;
        }
        notes_.push_back("Register " + std::to_string(reg) + " of " + what +
                         " is also a register of another table: it is served as the first");
    };

    // Both byte maps: rows that name a frame of their list, halves that choose B1 to B8.
    for (const bool receive : {true, false}) {
        const DumpTable<DumpMapRow>& map = receive ? image.receiveMap : image.transmitMap;
        const char* name = receive ? "receive byte map" : "transmit byte map";
        const std::size_t frames = receive ? receiveFrames_.size() : transmitFrames_.size();
        for (std::size_t i = 0; i < map.rows.size(); ++i) {
            const DumpMapRow& row = map.rows[i];
            const std::string place = std::string(name) + " row " + std::to_string(i + 1);
            if (row.nrPdo < 1 || row.nrPdo > frames) {
                notes_.push_back("The " + place + " (register " + std::to_string(row.index) + ") names frame " +
                                 std::to_string(row.nrPdo) + ", which the frame list does not have: it is ignored");
                continue;
            }
            claim(row.index, receive ? RegisterUse::Received : RegisterUse::Sent, "the " + place);
            std::vector<Half>& halves = receive ? receiveFrames_[row.nrPdo - 1u].halves : transmitFrames_[row.nrPdo - 1u].halves;
            for (const auto& [choice, high] : {std::pair{row.high(), true}, std::pair{row.low(), false}}) {
                if (choice == 0) continue;
                if (choice > 8) {
                    notes_.push_back("The " + place + " (register " + std::to_string(row.index) + ") chooses byte " +
                                     std::to_string(choice) + " for its " + (high ? "high" : "low") +
                                     " byte, which no frame has: that half is ignored");
                    continue;
                }
                halves.push_back({row.index, choice, high});
            }
            const bool sends = options_.sendOn == SendOn::AnyWrite || (writeEnabled_ && row.writeJ1939.value_or(0) != 0);
            if (!receive && sends) {
                senders_.emplace(row.index, row.nrPdo - 1u);
                transmitFrames_[row.nrPdo - 1u].sendable = true;
            }
        }
    }

    // pargen.xml's registers: the data time-out register, and the remote request registers
    // while remote requests are enabled.
    claim(static_cast<std::uint16_t>(storedParameter(image, "TO_ModReg")), RegisterUse::Parameter, "pargen.xml (TO_ModReg)");
    if (storedParameter(image, "En_Rem_Req") != 0)
        for (const char* name : {"Pri_Des", "PGN1", "PGN2", "SA"})
            claim(static_cast<std::uint16_t>(storedParameter(image, name)), RegisterUse::Parameter,
                  std::string("pargen.xml (") + name + ")");

    std::vector<std::size_t> silent;
    for (std::size_t f = 0; f < transmitFrames_.size(); ++f)
        if (!transmitFrames_[f].sendable) silent.push_back(f + 1);
    if (!silent.empty()) {
        std::string list;
        for (const std::size_t f : silent) list += (list.empty() ? "" : ", ") + std::to_string(f);
        const char* why = options_.sendOn == SendOn::AnyWrite ? " can never be sent: no register drives them"
                          : writeEnabled_ ? " can never be sent: no register of theirs has its Write J1939 flag set"
                                          : " can never be sent: pargen.xml's Write_J1939 switch is off";
        notes_.push_back((silent.size() == 1 ? "Transmit frame " : "Transmit frames ") + list + why);
    }
}

std::uint32_t ReplayGateway::key(std::uint32_t pgn) const
{
    if (options_.pgnMatch == PgnMatch::J1939 && pdu1(pgn)) return pgn & ~0xFFu;
    return pgn;
}

ReceiveResult ReplayGateway::receive(const CanFrame& frame)
{
    ++counts_.frames;
    ReceiveResult result;
    if (!frame.extended) {
        ++counts_.standardFrames;
        return result;
    }
    const std::uint32_t pgn = key((frame.id >> 8) & 0x3FFFF);
    const auto source = static_cast<std::uint8_t>(frame.id & 0xFF);

    // A transport protocol announcement of a configured PGN: its packets never match a row.
    if (((frame.id >> 8) & 0x3FF00) == kTransportConnection && frame.length == 8 &&
        (frame.data[0] == kRequestToSend || frame.data[0] == kBroadcastAnnounce)) {
        std::uint32_t announced = frame.data[5] | frame.data[6] << 8 | (frame.data[7] & 0x03u) << 16;
        // A PDU1 PGN is announced without its destination: the message goes where the announcement goes.
        if (pdu1(announced)) announced = (announced & ~0xFFu) | ((frame.id >> 8) & 0xFF);
        announced = key(announced);
        if (configuredPgns_.contains(announced)) ++counts_.transportAnnouncements[{announced, source}];
    }

    const auto found = byPgnAndDevice_.find({pgn, source});
    if (found == byPgnAndDevice_.end()) {
        if (configuredPgns_.contains(pgn)) ++counts_.nearMisses[{pgn, source}];
        if (pdu1(pgn))
            if (const auto other = byPdu1PgnAndDevice_.find({pgn & ~0xFFu, source}); other != byPdu1PgnAndDevice_.end())
                ++counts_.otherDestinations[other->second];
        return result;
    }
    const std::size_t index = found->second;
    ++counts_.matched;
    ++counts_.matchedPerFrame[index];
    result.frame = index;
    bool shortFrame = false;
    for (const Half& half : receiveFrames_[index].halves) {
        if (half.byte > frame.length) {
            shortFrame = true;
            continue;
        }
        const std::uint8_t byte = frame.data[static_cast<std::size_t>(half.byte - 1)];
        std::uint16_t& value = values_[half.reg];
        const std::uint16_t before = value;
        value = half.high ? static_cast<std::uint16_t>((value & 0x00FF) | byte << 8)
                          : static_cast<std::uint16_t>((value & 0xFF00) | byte);
        const bool first = !written_[half.reg];
        written_[half.reg] = 1;
        if (value == before && !first) continue;
        // One change per register: a register whose two halves both change is told once.
        const auto same = std::find_if(result.changes.begin(), result.changes.end(),
                                       [&](const RegisterChange& c) { return c.reg == half.reg; });
        if (same == result.changes.end()) result.changes.push_back({half.reg, value});
        else same->value = value;
    }
    if (shortFrame) ++counts_.shortFrames;
    return result;
}

bool ReplayGateway::writable(std::uint16_t first, std::size_t count) const
{
    if (count == 0 || first + count > 65536) return false;
    for (std::size_t i = 0; i < count; ++i)
        if (uses_[first + i] != RegisterUse::Sent) return false;
    return true;
}

std::vector<CanFrame> ReplayGateway::write(std::uint16_t first, std::span<const std::uint16_t> registers, std::int64_t time)
{
    std::set<std::size_t> frames;
    for (std::size_t i = 0; i < registers.size(); ++i) {
        const auto reg = static_cast<std::uint16_t>(first + i);
        values_[reg] = registers[i];
        ++counts_.registerWrites;
        const auto [from, to] = senders_.equal_range(reg);
        for (auto it = from; it != to; ++it) frames.insert(it->second);
    }
    std::vector<CanFrame> sent;
    for (const std::size_t frame : frames) sent.push_back(transmitFrame(frame, time));
    counts_.framesSent += sent.size();
    return sent;
}

CanFrame ReplayGateway::transmitFrame(std::size_t frame, std::int64_t time) const
{
    CanFrame out;
    out.time = time;
    out.id = transmitFrames_.at(frame).identifier & 0x1FFFFFFF;
    out.extended = true;
    out.length = 8;
    out.data.fill(options_.undrivenByte);
    for (const Half& half : transmitFrames_[frame].halves) {
        const std::uint16_t value = values_[half.reg];
        out.data[static_cast<std::size_t>(half.byte - 1)] =
            static_cast<std::uint8_t>(half.high ? value >> 8 : value & 0xFF);
    }
    return out;
}

std::vector<std::uint16_t> ReplayGateway::registersNeverWritten() const
{
    std::vector<std::uint16_t> never;
    for (std::size_t reg = 0; reg < uses_.size(); ++reg)
        if (uses_[reg] == RegisterUse::Received && !written_[reg]) never.push_back(static_cast<std::uint16_t>(reg));
    return never;
}

std::vector<std::string> ReplayGateway::summary() const
{
    std::vector<std::string> lines;
    lines.push_back(counted(counts_.frames, "data frame") + ", " + std::to_string(counts_.matched) + " matched, " +
                    std::to_string(counts_.standardFrames) + " with an 11-bit identifier not considered");
    for (std::size_t f = 0; f < receiveFrames_.size(); ++f)
        lines.push_back("Receive frame " + std::to_string(f + 1) + ", PGN " + pgnText(receiveFrames_[f].pgn) +
                        " from source address " + std::to_string(receiveFrames_[f].device) + ": " +
                        counted(counts_.matchedPerFrame[f], "frame"));
    for (const auto& [key, count] : counts_.nearMisses)
        lines.push_back("Near miss: " + counted(count, "frame") + " of PGN " + pgnText(key.first) +
                        " from source address " + std::to_string(key.second) + ", which no receive frame names");
    for (const auto& [frame, count] : counts_.otherDestinations)
        lines.push_back("Near miss: " + counted(count, "frame") + " of the PGN of receive frame " +
                        std::to_string(frame + 1) + " from its source address to another destination; "
                        "--pgn-match j1939 would take them");
    for (const auto& [key, count] : counts_.transportAnnouncements)
        lines.push_back("Transport protocol: " + counted(count, "announcement") + " of PGN " + pgnText(key.first) +
                        " from source address " + std::to_string(key.second) +
                        ": its multi-packet messages never match a single-frame receive frame");
    if (counts_.shortFrames > 0)
        lines.push_back(counted(counts_.shortFrames, "matched frame") +
                        " shorter than a chosen byte: those register halves kept their value");
    const std::vector<std::uint16_t> never = registersNeverWritten();
    if (!never.empty()) {
        std::string list;
        for (const std::uint16_t reg : never) list += (list.empty() ? "" : ", ") + std::to_string(reg);
        lines.push_back("Registers never written by a frame: " + list);
    }
    for (std::size_t f = 0; f < transmitFrames_.size(); ++f) {
        std::array<bool, 8> driven{};
        for (const Half& half : transmitFrames_[f].halves) driven[static_cast<std::size_t>(half.byte - 1)] = true;
        std::vector<int> undriven;
        for (int b = 1; b <= 8; ++b)
            if (!driven[static_cast<std::size_t>(b - 1)]) undriven.push_back(b);
        if (!undriven.empty())
            lines.push_back("Transmit frame " + std::to_string(f + 1) + " (identifier " +
                            hex(transmitFrames_[f].identifier, 8) + "): " + bytesText(undriven) +
                            " driven by no register, sent as " + hex(options_.undrivenByte, 2));
    }
    if (counts_.registerWrites > 0 || counts_.framesSent > 0)
        lines.push_back(counted(counts_.registerWrites, "register") + " written over Modbus, " +
                        counted(counts_.framesSent, "frame") + " sent");
    return lines;
}

}  // namespace trelvant
