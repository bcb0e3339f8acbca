#pragma once

#include <cstdint>

namespace trelvant {

// The editor mode: which frame list and byte map a dialog works on.
enum class Direction : std::uint8_t {
    Receive = 1,   // frames the gateway takes from the bus: RCobDef.xml, RInfoCob.xml
    Transmit = 2,  // frames the gateway sends: TCobDef.xml, TInfoCob.xml
};

}  // namespace trelvant
