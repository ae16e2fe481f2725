#pragma once
// Which carrier settings to try, in which order, to lock a transponder on a driver with the given
// rules: what locked here before first, then what the satellite files say the transponder is,
// then the combinations the driver's set_frontend takes, the MODCODs broadcasters use most
// first. A driver that takes "auto" for a value is asked with "auto"; one that refuses it gets
// stated values, only those its table takes (a refused attempt would only cost its time), and,
// when the roll-off must be stated, its first DVB-S2 attempts again with each other roll-off
// it takes; one whose rules are not known gets "auto" first and stated values after. A frontend
// without DVB-S2 gets the one DVB-S attempt.
#include <cstdint>
#include <optional>
#include <vector>

#include "drivers/linuxdvb/dvb_carrier_settings.h"
#include "drivers/linuxdvb/dvb_driver_rules.h"
#include "drivers/linuxdvb/dvb_kernel_types.h"

namespace linuxdvb {

// What the satellite files say of a transponder; each part only when they say it.
struct DvbTransponderHint {
    std::optional<std::uint32_t> deliverySystem;  // SYS_DVBS or SYS_DVBS2
    std::optional<std::uint32_t> modulation;      // QPSK, PSK_8, APSK_16, APSK_32
    std::optional<std::uint32_t> innerFec;        // a stated rate, never FEC_AUTO
    friend bool operator==(const DvbTransponderHint&, const DvbTransponderHint&) = default;
};

std::vector<DvbCarrierSettings> PlanLockAttempts(
    const DvbDriverRules& rules, const DvbFrontendDescription& frontend,
    const DvbTransponderHint& hint, const std::optional<DvbCarrierSettings>& remembered);

// How long one attempt may take to lock before the next is tried: demodulators search longer at
// low symbol rates, and a driver that searches inside its tune keeps the frontend as long as its
// rules say (TuneHoldMs).
int AttemptTimeoutMs(const DvbDriverRules& rules, std::uint32_t symbolRate);

}  // namespace linuxdvb
