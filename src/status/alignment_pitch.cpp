#include "status/alignment_pitch.h"

#include <algorithm>
#include <cmath>

std::optional<double> AlignmentPitchHz(std::optional<double> carrierToNoiseDb) {
    if (!carrierToNoiseDb || std::isnan(*carrierToNoiseDb)) return std::nullopt;
    const double clamped = std::clamp(*carrierToNoiseDb, 0.0, 20.0);
    return kLowestPitchHz * std::pow(10.0, clamped / 20.0);
}
