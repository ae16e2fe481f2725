#pragma once
// The alignment meter's memory: the samples of the last minute, for the plot, and the highest
// C/N since the user last reset it, which outlives the minute (the dish may have swept past the
// best point long ago).
#include <cstdint>
#include <deque>
#include <optional>

// One reading of the meter; empty what the card did not report (no signal, or a card that
// measures only one of the two).
struct MeterSample {
    std::uint32_t tickMs = 0;  // GetTickCount() when the signal was read
    std::optional<double> carrierToNoiseDb;
    std::optional<double> levelDbm;
};

struct DecibelRange {
    double lowDb = 0;
    double highDb = 0;
};

class CSignalHistory {
public:
    // The span kept, measured back from the newest sample: a sample exactly this old stays.
    static constexpr std::uint32_t kWindowMs = 60000;

    // Samples come in tick order; one older than the newest is ignored. Ticks may wrap at 2^32.
    void Add(const MeterSample& sample);
    // Forgets the peak only; the plot keeps its minute.
    void ResetPeak();

    // Oldest first.
    const std::deque<MeterSample>& Samples() const { return m_samples; }
    // The lowest and highest C/N of the samples kept; empty when none carries a C/N.
    std::optional<DecibelRange> CarrierToNoiseRange() const;
    // The first sample that reached the highest C/N (levelDbm as it was then); empty when no
    // sample since construction or ResetPeak carried a C/N.
    const std::optional<MeterSample>& Peak() const { return m_peak; }

private:
    std::deque<MeterSample> m_samples;
    std::optional<MeterSample> m_peak;
};
