#include "platform/audio/tone_generator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numbers>
#include <span>
#include <vector>

namespace {

constexpr int kRate = CToneGenerator::kSampleRate;
constexpr double kFullTone = CToneGenerator::kAmplitude * 32767.0;
// Samples of the fade in, after which the tone is at full strength.
constexpr std::size_t kFadeSamples =
    static_cast<std::size_t>(CToneGenerator::kFadeMs * kRate / 1000);

std::vector<std::int16_t> Next(CToneGenerator& generator, std::size_t count) {
    std::vector<std::int16_t> samples(count);
    generator.Generate(samples);
    return samples;
}

int RisingZeroCrossings(std::span<const std::int16_t> samples) {
    int crossings = 0;
    for (std::size_t i = 1; i < samples.size(); ++i)
        if (samples[i - 1] < 0 && samples[i] >= 0) ++crossings;
    return crossings;
}

int Loudest(std::span<const std::int16_t> samples) {
    int loudest = 0;
    for (const std::int16_t sample : samples) loudest = std::max(loudest, std::abs(int{sample}));
    return loudest;
}

int LargestStep(std::span<const std::int16_t> samples) {
    int largest = 0;
    for (std::size_t i = 1; i < samples.size(); ++i)
        largest = std::max(largest, std::abs(samples[i] - samples[i - 1]));
    return largest;
}

// The largest step between samples a clean sine of `hertz` makes: its steepest slope.
int SineStep(double hertz) {
    return static_cast<int>(std::ceil(2.0 * std::numbers::pi * hertz / kRate * kFullTone)) + 1;
}

// One second of tone crosses zero upwards once per cycle, at full strength after the fade in.
TEST(ToneGeneratorTest, FrequencyAndAmplitude) {
    for (const double hertz : {200.0, 632.5, 1000.0, 2000.0}) {
        SCOPED_TRACE(hertz);
        CToneGenerator generator;
        generator.SetFrequency(hertz);
        const std::vector<std::int16_t> fadeIn = Next(generator, kFadeSamples);
        EXPECT_EQ(fadeIn.front(), 0) << "a tone must start from zero";
        const std::vector<std::int16_t> second = Next(generator, kRate);
        EXPECT_NEAR(RisingZeroCrossings(second), hertz, 1.0);
        EXPECT_LE(Loudest(second), std::lround(kFullTone));
        EXPECT_GE(Loudest(second), std::lround(kFullTone * 0.99));
    }
}

// A change of pitch keeps the phase and glides: no step between samples is larger than the
// new sine's own steepest one, and after the glide the new pitch is exact.
TEST(ToneGeneratorTest, PitchChangeWithoutJump) {
    struct Case {
        double from;
        double to;
    };
    for (const Case c : {Case{500, 2000}, Case{2000, 200}, Case{1000, 1013}}) {
        SCOPED_TRACE(testing::Message() << c.from << " Hz to " << c.to << " Hz");
        CToneGenerator generator;
        generator.SetFrequency(c.from);
        std::vector<std::int16_t> samples = Next(generator, kRate / 10 + 17);  // mid-cycle
        generator.SetFrequency(c.to);
        const std::vector<std::int16_t> after = Next(generator, kRate / 10);
        samples.insert(samples.end(), after.begin(), after.end());
        EXPECT_LE(LargestStep(samples), SineStep(std::max(c.from, c.to)));
        EXPECT_NEAR(RisingZeroCrossings(Next(generator, kRate)), c.to, 1.0);
    }
}

// Silence fades out within kFadeMs and then is exact zeros; a tone after silence fades in again,
// at its own pitch at once; before any pitch there is only silence.
TEST(ToneGeneratorTest, SilenceFadesOutAndIn) {
    CToneGenerator generator;
    EXPECT_EQ(Loudest(Next(generator, 1000)), 0);

    generator.SetFrequency(1000.0);
    std::vector<std::int16_t> samples = Next(generator, kRate / 10 + 5);
    generator.SetFrequency(std::nullopt);
    const std::vector<std::int16_t> fadeOut = Next(generator, kFadeSamples);
    samples.insert(samples.end(), fadeOut.begin(), fadeOut.end());
    EXPECT_LE(LargestStep(samples), SineStep(1000.0));
    EXPECT_GT(Loudest(std::span(fadeOut).first(kFadeSamples / 4)), 0) << "cut off, not faded";
    EXPECT_EQ(Loudest(Next(generator, kRate / 10)), 0);

    generator.SetFrequency(300.0);
    const std::vector<std::int16_t> fadeIn = Next(generator, kFadeSamples);
    EXPECT_LE(Loudest(std::span(fadeIn).first(kFadeSamples / 4)), std::lround(kFullTone / 4));
    EXPECT_LE(LargestStep(fadeIn), SineStep(300.0));
    EXPECT_NEAR(RisingZeroCrossings(Next(generator, kRate)), 300.0, 1.0);
}

}  // namespace
