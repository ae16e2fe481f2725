#pragma once
// Signal strength and quality for the system's 0..100 bars, from the kernel's statistics.
//
// Strength: decibel scale (0.001 dBm) -100 dBm .. -20 dBm maps linearly onto 0..100, clamped;
// a reading outside -150 dBm .. +30 dBm is no measurement at all (some drivers report garbage
// while unlocked) and gives 0. Quality: carrier-to-noise, decibel scale (0.001 dB) 0 dB .. 20 dB
// onto 0..100, clamped. Relative scale (0..65535) onto 0..100 for both. Counters and "not
// available" give nullopt, so the caller can try the legacy reading.
#include <optional>

#include "drivers/linuxdvb/dvb_kernel_types.h"

namespace linuxdvb {

std::optional<int> StrengthPercent(const DvbStatistic& strength);
std::optional<int> QualityPercent(const DvbStatistic& carrierToNoise);

}  // namespace linuxdvb
