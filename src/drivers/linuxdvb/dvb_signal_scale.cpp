#include "drivers/linuxdvb/dvb_signal_scale.h"

#include <algorithm>

namespace linuxdvb {

namespace {

constexpr std::int64_t kStrengthFloor = -100'000;   // 0.001 dBm: 0 %
constexpr std::int64_t kStrengthCeiling = -20'000;  // 100 %
constexpr std::int64_t kStrengthAbsurdLow = -150'000;
constexpr std::int64_t kStrengthAbsurdHigh = 30'000;
constexpr std::int64_t kCnrCeiling = 20'000;  // 0.001 dB: 100 %
constexpr std::int64_t kRelativeFull = 65'535;

// value in [low, high] onto 0..100, rounded to nearest, clamped outside.
int Percent(std::int64_t value, std::int64_t low, std::int64_t high) {
    const std::int64_t clamped = std::clamp(value, low, high);
    const std::int64_t span = high - low;
    return static_cast<int>(((clamped - low) * 100 + span / 2) / span);
}

}  // namespace

std::optional<int> StrengthPercent(const DvbStatistic& strength) {
    switch (strength.scale) {
        case DvbScale::Decibel:
            if (strength.value < kStrengthAbsurdLow || strength.value > kStrengthAbsurdHigh)
                return 0;
            return Percent(strength.value, kStrengthFloor, kStrengthCeiling);
        case DvbScale::Relative:
            return Percent(strength.value, 0, kRelativeFull);
        default:
            return std::nullopt;
    }
}

std::optional<int> QualityPercent(const DvbStatistic& carrierToNoise) {
    switch (carrierToNoise.scale) {
        case DvbScale::Decibel:
            return Percent(carrierToNoise.value, 0, kCnrCeiling);
        case DvbScale::Relative:
            return Percent(carrierToNoise.value, 0, kRelativeFull);
        default:
            return std::nullopt;
    }
}

}  // namespace linuxdvb
