#include "diseqc/switch_message.h"

#include "platform/diseqc/diseqc_bytes.h"

namespace diseqc {

std::array<std::uint8_t, 4> CommittedSwitch(Port port, bool highBand, bool horizontal) {
    std::uint8_t d = write_n0::kAllFour;
    if (highBand) d |= write_n0::kHighBand;
    if (horizontal) d |= write_n0::kHorizontal;
    d |= static_cast<std::uint8_t>(port) << write_n0::kPortShift;
    return {static_cast<std::uint8_t>(Framing::First), address::kAnyLnbSwitcherSmatv,
            command::kWriteN0, d};
}

}  // namespace diseqc
