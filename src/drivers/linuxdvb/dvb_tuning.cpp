#include "drivers/linuxdvb/dvb_tuning.h"

#include "platform/diseqc/diseqc_bytes.h"

namespace linuxdvb {

std::optional<std::uint64_t> CarrierFrequencyKHz(const BdaTuneRequest& request) {
    if (request.frequency == kBdaNotSet || request.frequency == 0) return std::nullopt;
    const std::uint64_t multiplier =
        request.multiplier == 0 || request.multiplier == kBdaNotSet ? 1000 : request.multiplier;
    return std::uint64_t{request.frequency} * multiplier / 1000;
}

std::optional<DvbTunePlan> PlanTune(const BdaTuneRequest& request) {
    const std::optional<std::uint64_t> carrier = CarrierFrequencyKHz(request);
    if (!carrier) return std::nullopt;
    const std::uint64_t frequency = *carrier;
    DvbTunePlan plan;
    plan.highBand = frequency > request.lnbSwitch;
    const std::uint32_t oscillator = plan.highBand ? request.highOscillator : request.lowOscillator;
    std::uint64_t intermediate = frequency;
    if (oscillator != kBdaNotSet && oscillator != 0) {
        // A C-band LNB's oscillator lies above the carrier: the IF is the distance either way.
        intermediate = frequency >= oscillator ? frequency - oscillator : oscillator - frequency;
    }
    if (intermediate == 0 || intermediate > 0xFFFFFFFFu) return std::nullopt;
    plan.intermediateKHz = static_cast<std::uint32_t>(intermediate);
    plan.voltage = request.polarisation == 1 || request.polarisation == 3 ? DvbVoltage::Volt18
                                                                          : DvbVoltage::Volt13;
    const std::uint64_t symbolRate =
        request.symbolRate == kBdaNotSet ? 0 : std::uint64_t{request.symbolRate} * 1000;
    if (symbolRate > 0xFFFFFFFFu) return std::nullopt;
    plan.symbolRate = static_cast<std::uint32_t>(symbolRate);
    return plan;
}

bool IsSwitchMessage(std::span<const std::uint8_t> message) {
    if (message.size() < 4) return false;
    const bool switchAddress = message[1] >= diseqc::address::kAnyLnbSwitcherSmatv &&
                               message[1] < diseqc::address::kAnyPolariser;
    const bool switchCommand =
        message[2] == diseqc::command::kWriteN0 || message[2] == diseqc::command::kWriteN1;
    return diseqc::IsCommandFromMaster(message[0]) && switchAddress && switchCommand;
}

}  // namespace linuxdvb
