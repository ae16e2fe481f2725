#pragma once
// The samples of the alignment tone: a sine whose pitch can change at any moment without a
// click. The phase runs on across a change, the pitch glides to its new value over kGlideMs, and
// the tone fades in and out over kFadeMs when it starts and falls silent.
#include <cstdint>
#include <optional>
#include <span>

class CToneGenerator {
public:
    static constexpr int kSampleRate = 48000;
    // -12 dB of full scale: clearly heard beside a running fan, not startling in headphones.
    static constexpr double kAmplitude = 0.25;
    static constexpr double kGlideMs = 30.0;
    static constexpr double kFadeMs = 5.0;

    explicit CToneGenerator(int sampleRate = kSampleRate);

    // Empty: fade out to silence. From silence the tone starts at the new pitch, without a glide.
    void SetFrequency(std::optional<double> hertz);
    // Signed 16-bit mono samples, continuing from the previous call.
    void Generate(std::span<std::int16_t> samples);

private:
    const double m_nSampleRate;
    double m_phase = 0;      // radians, kept in [0, 2 pi)
    double m_frequency = 0;  // Hz, of the sample being made
    double m_target = 0;     // Hz the glide ends at
    double m_glideStep = 0;  // Hz per sample
    double m_gain = 0;       // 0 silent .. 1 full tone
    bool m_bOn = false;
};
