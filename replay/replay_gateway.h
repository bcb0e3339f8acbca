#pragma once

// The gateway as its configuration image describes it, run against CAN traffic: received frames
// fill the Modbus registers of the receive byte map, written registers make the frames of the
// transmit byte map. Where the image does not state what the device does, the replay follows a
// stated assumption, each of which has its option.

#include "image/image_dump.h"
#include "replay/can_log.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace trelvant {

// How a received identifier's PGN is held against a receive frame's stored PGN.
enum class PgnMatch {
    Literal,  // identifier bits 8 to 25 equal the stored value
    J1939,    // the J1939 PGNs are equal: the PDU specific byte counts only for PDU2 (PDU format 240 and up)
};

// What makes the gateway send a transmit frame.
enum class SendOn {
    FlaggedWrite,  // a Modbus write to a register whose Write J1939 flag is set, while pargen.xml enables writing
    AnyWrite,      // a Modbus write to any register of the frame, flags and switch aside
};

struct ReplayOptions {
    PgnMatch pgnMatch = PgnMatch::Literal;
    SendOn sendOn = SendOn::FlaggedWrite;
    std::uint8_t undrivenByte = 0xFF;  // a transmit byte that no register drives
};

// What the replay says of a register.
enum class RegisterUse : std::uint8_t {
    None,       // no table names it
    Received,   // a receive byte map row: filled from frames, read only
    Sent,       // a transmit byte map row: written by the Modbus master, read and write
    Parameter,  // TO_ModReg or a remote request register: read only, 0
};

// One register a received frame wrote, and its value after the frame.
struct RegisterChange {
    std::uint16_t reg = 0;
    std::uint16_t value = 0;

    bool operator==(const RegisterChange&) const = default;
};

struct ReceiveResult {
    std::optional<std::size_t> frame;   // the matched receive frame, 0-based
    std::vector<RegisterChange> changes;  // registers whose value changed, in map order

    bool operator==(const ReceiveResult&) const = default;
};

// What happened during a replay, for its summary.
struct ReplayCounts {
    std::size_t frames = 0;          // data frames offered
    std::size_t standardFrames = 0;  // 11-bit frames, not considered
    std::size_t matched = 0;
    std::vector<std::size_t> matchedPerFrame;  // per receive frame
    // A frame of a configured PGN from a device no row names: (PGN as matched, source address).
    std::map<std::pair<std::uint32_t, std::uint8_t>, std::size_t> nearMisses;
    // Transport protocol announcements (BAM or RTS) of a configured PGN: (PGN, source address).
    std::map<std::pair<std::uint32_t, std::uint8_t>, std::size_t> transportAnnouncements;
    // With --pgn-match literal: frames of a receive frame's PDU1 PGN and source address that went to
    // another destination, per receive frame; the J1939 match would take them.
    std::map<std::size_t, std::size_t> otherDestinations;
    std::size_t shortFrames = 0;     // matched frames shorter than a chosen byte
    std::size_t framesSent = 0;
    std::size_t registerWrites = 0;  // registers written by Modbus requests
};

class ReplayGateway {
public:
    // Throws Error when the image is of the CAN 2.0A layout, which the replay does not run.
    ReplayGateway(const ImageDump& image, ReplayOptions options = {});

    // The defaults that stand for what the image does not state, one line each.
    static std::vector<std::string> Assumptions(const ReplayOptions& options);
    // What the image holds that the replay ignores or cannot use, found at start: map rows naming
    // no frame, byte choices above B8, several receive frames of one PGN and device, registers of
    // two tables, transmit frames that nothing can send.
    const std::vector<std::string>& notes() const { return notes_; }

    // The Modbus unit id the gateway answers (IDDev_Ser).
    std::uint8_t unitId() const { return unitId_; }
    RegisterUse use(std::uint16_t reg) const { return uses_[reg]; }
    std::uint16_t value(std::uint16_t reg) const { return values_[reg]; }
    std::size_t receiveFrameCount() const { return receiveFrames_.size(); }
    std::size_t transmitFrameCount() const { return transmitFrames_.size(); }

    // Applies a received frame: the registers of the first matching receive frame take its bytes.
    // A half whose byte the frame does not carry keeps its value.
    ReceiveResult receive(const CanFrame& frame);

    // Whether a Modbus write may set count registers from first: every one is a sent register.
    bool writable(std::uint16_t first, std::size_t count) const;
    // Sets the registers of one write request (all writable), then gives the frames it sends,
    // once each, in frame order: with SendOn::FlaggedWrite each transmit frame with a register of
    // the request whose Write J1939 flag is set, while pargen.xml enables writing; with
    // SendOn::AnyWrite each transmit frame of a register of the request. time goes into the frames.
    std::vector<CanFrame> write(std::uint16_t first, std::span<const std::uint16_t> registers, std::int64_t time);

    // Transmit frame (0-based) as the registers make it now: the image's identifier, 8 bytes, a
    // byte that no register drives the option's undriven byte.
    CanFrame transmitFrame(std::size_t frame, std::int64_t time = 0) const;

    const ReplayCounts& counts() const { return counts_; }
    // Receive map registers that no frame wrote so far, in register order.
    std::vector<std::uint16_t> registersNeverWritten() const;

    // The summary's lines: frames matched per receive frame, near misses, transport protocol
    // announcements, short frames, registers never written, transmit bytes nothing drives.
    std::vector<std::string> summary() const;

private:
    struct Half {
        std::uint16_t reg = 0;
        int byte = 0;  // 1 to 8
        bool high = false;
    };
    struct ReceiveFrame {
        std::uint32_t pgn = 0;
        std::uint8_t device = 0;
        std::vector<Half> halves;  // in map order
    };
    struct TransmitFrame {
        std::uint32_t identifier = 0;
        std::vector<Half> halves;
        bool sendable = false;  // a write can send it
    };

    std::uint32_t key(std::uint32_t pgn) const;

    ReplayOptions options_;
    std::uint8_t unitId_ = 0;
    bool writeEnabled_ = false;
    std::vector<ReceiveFrame> receiveFrames_;
    std::vector<TransmitFrame> transmitFrames_;
    std::map<std::pair<std::uint32_t, std::uint8_t>, std::size_t> byPgnAndDevice_;  // first frame of each
    // With the literal match, the first frame of each PDU1 PGN without its destination, and device.
    std::map<std::pair<std::uint32_t, std::uint8_t>, std::size_t> byPdu1PgnAndDevice_;
    std::map<std::uint32_t, std::size_t> configuredPgns_;  // PGN as matched: its first receive frame
    std::multimap<std::uint16_t, std::size_t> senders_;  // a sent register whose write sends: its transmit frame
    // Per register, on the heap: a gateway is small enough for any stack.
    std::vector<RegisterUse> uses_ = std::vector<RegisterUse>(65536, RegisterUse::None);
    std::vector<std::uint16_t> values_ = std::vector<std::uint16_t>(65536, 0);
    std::vector<std::uint8_t> written_ = std::vector<std::uint8_t>(65536, 0);
    std::vector<std::string> notes_;
    ReplayCounts counts_;
};

}  // namespace trelvant
