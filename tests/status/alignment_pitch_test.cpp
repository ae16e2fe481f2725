#include "status/alignment_pitch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>

namespace {

// The tone's pitch: clamped to 200..2000 Hz, 6 dB more C/N an octave higher, silent without a C/N.
TEST(AlignmentPitchTest, PitchOfCarrierToNoise) {
    struct Case {
        std::optional<double> carrierToNoiseDb;
        std::optional<double> hertz;
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt},
        {std::numeric_limits<double>::quiet_NaN(), std::nullopt},
        {-10.0, 200.0},
        {0.0, 200.0},
        {20.0 * std::log10(2.0), 400.0},
        {10.0, 632.455532},
        {14.0, 1002.374467},
        {20.0, 2000.0},
        {35.0, 2000.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.carrierToNoiseDb ? *c.carrierToNoiseDb : -999.0);
        const std::optional<double> hertz = AlignmentPitchHz(c.carrierToNoiseDb);
        ASSERT_EQ(hertz.has_value(), c.hertz.has_value());
        if (hertz) {
            EXPECT_NEAR(*hertz, *c.hertz, 1e-5);
        }
    }
}

// Every tenth of a dB between the ends raises the pitch by the same ratio, so the ear hears the
// same step near the peak as near the noise.
TEST(AlignmentPitchTest, EqualStepsPerDecibel) {
    const double step = std::pow(10.0, 0.1 / 20.0);
    for (int tenths = 0; tenths < 200; ++tenths) {
        const double low = *AlignmentPitchHz(tenths / 10.0);
        const double high = *AlignmentPitchHz((tenths + 1) / 10.0);
        ASSERT_NEAR(high / low, step, 1e-9) << "at " << tenths / 10.0 << " dB";
    }
}

}  // namespace
