#pragma once
// The pure arithmetic of a satellite tune on the Linux DVB API: from what the DVB-S network
// provider hands the tuner (frequency, LNB oscillators and switch frequency in kHz, where
// 0xFFFFFFFF is the tuning space's "not set" -1; polarisation; symbol rate in kSps as entered) to
// what the kernel takes (IF in kHz, LNB voltage, 22 kHz tone, symbol rate in symbols/s); and
// which DiSEqC messages wait for the next tune.
#include <cstdint>
#include <optional>
#include <span>

#include "drivers/kit/bda_tune_request.h"
#include "drivers/linuxdvb/dvb_kernel_types.h"

namespace linuxdvb {

struct DvbTunePlan {
    std::uint32_t intermediateKHz = 0;
    bool highBand = false;
    DvbVoltage voltage = DvbVoltage::Volt13;
    std::uint32_t symbolRate = 0;  // symbols per second
    friend bool operator==(const DvbTunePlan&, const DvbTunePlan&) = default;
};

// Band: high exactly when the frequency is above the switch frequency, both unsigned (as the
// system decides the committed-switch message's band bit), so an unset switch (0xFFFFFFFF) is
// always low band and equality is low band. IF = |frequency - oscillator of the band|; an unset
// or zero oscillator means the frequency already is the IF. 18 V for horizontal and left
// circular, 13 V otherwise (also when not set: the LNB needs power). An unset symbol rate is
// passed as 0 for the kernel to refuse. nullopt: no frequency, an IF of 0 or beyond 32 bits, or a
// symbol rate that does not fit in symbols/s.
std::optional<DvbTunePlan> PlanTune(const BdaTuneRequest& request);

// The carrier's frequency in kHz (the request's frequency times its multiplier); none without one.
std::optional<std::uint64_t> CarrierFrequencyKHz(const BdaTuneRequest& request);

// A committed or uncommitted switch message (framing E0..E3, address 10..1F, command 38 or 39):
// it belongs to the next tune, after the LNB voltage is set. Everything else (positioner
// commands and the like) goes out at once.
bool IsSwitchMessage(std::span<const std::uint8_t> message);

}  // namespace linuxdvb
