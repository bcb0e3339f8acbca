#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace trelvant {

// A register entry: one Modbus holding register tied to bytes of its frame. The texts are kept
// as stored or typed and converted to integers only where they are compared, ordered or shown.
struct TClIndMB {
    std::string Index;        // the register index as typed
    std::string PosComp;      // 16 x high-byte choice + low-byte choice; a choice is 0 (none) or 1 to 8 (B1 to B8)
    std::string Write_J1939;  // transmit only: "0" or "1"; empty in the receive direction

    bool operator==(const TClIndMB&) const = default;
};

// A frame entry: one frame of the frame list, owning its register entries in their order.
struct TClPdo {
    std::string PGN;         // the frame's PGN attribute as read
    std::int32_t NrPdo = 0;  // the frame number, counted from 1; written as NrPdo
    std::vector<TClIndMB> registers;

    bool operator==(const TClPdo&) const = default;
};

// The in-memory byte map of one direction: one frame entry per frame, in frame list order.
using ByteMap = std::vector<TClPdo>;

// Room for register entries in the configuration image's map tables.
inline constexpr std::size_t kMaxReceiveMapRows = 2912;   // receive byte map, bank 1 from 4352 to 15999
inline constexpr std::size_t kMaxTransmitMapRows = 2976;  // transmit byte map, bank 2 from 1500 to 16383

}  // namespace trelvant
