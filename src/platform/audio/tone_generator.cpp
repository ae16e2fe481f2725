#include "platform/audio/tone_generator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

CToneGenerator::CToneGenerator(int sampleRate) : m_nSampleRate(sampleRate) {}

void CToneGenerator::SetFrequency(std::optional<double> hertz) {
    if (!hertz || !(*hertz > 0)) {
        m_bOn = false;
        return;
    }
    // Below Nyquist, or the sine would fold back as another pitch.
    m_target = std::min(*hertz, m_nSampleRate * 0.45);
    m_bOn = true;
    if (m_gain == 0) {
        m_frequency = m_target;
        m_glideStep = 0;
        return;
    }
    m_glideStep = (m_target - m_frequency) / (kGlideMs / 1000.0 * m_nSampleRate);
}

void CToneGenerator::Generate(std::span<std::int16_t> samples) {
    const double gainStep = 1.0 / (kFadeMs / 1000.0 * m_nSampleRate);
    for (std::int16_t& sample : samples) {
        if (m_glideStep != 0) {
            m_frequency += m_glideStep;
            const bool arrived =
                m_glideStep > 0 ? m_frequency >= m_target : m_frequency <= m_target;
            if (arrived) {
                m_frequency = m_target;
                m_glideStep = 0;
            }
        }
        m_gain = m_bOn ? std::min(1.0, m_gain + gainStep) : std::max(0.0, m_gain - gainStep);
        const double value = std::sin(m_phase) * m_gain * kAmplitude * 32767.0;
        sample = static_cast<std::int16_t>(std::lround(value));
        m_phase += 2.0 * std::numbers::pi * m_frequency / m_nSampleRate;
        if (m_phase >= 2.0 * std::numbers::pi) m_phase -= 2.0 * std::numbers::pi;
    }
}
