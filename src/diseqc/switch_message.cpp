#include "diseqc/switch_message.h"

#include "diseqc/framing.h"

namespace diseqc {

std::array<std::uint8_t, 4> CommittedSwitch(Port port, bool highBand, bool horizontal) {
    std::uint8_t d = 0xF0;                              // committed switch, all options cleared
    if (highBand) d |= 0x01;                            // bit 0: high band (22 kHz)
    if (horizontal) d |= 0x02;                          // bit 1: horizontal (18 V)
    d |= static_cast<std::uint8_t>(port) << 2;          // bits 2-3: port A 00, B 01, C 10, D 11
    return {static_cast<std::uint8_t>(Framing::First),  // from master, no reply, first transmission
            0x10,                                       // any LNB, switcher or SMATV
            0x38,  // write to port group 0 (committed switches)
            d};
}

}  // namespace diseqc
