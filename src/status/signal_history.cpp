#include "status/signal_history.h"

#include <algorithm>

namespace {

// Milliseconds from `earlier` to `later` across the 2^32 wrap; negative when `later` is older.
std::int64_t TicksBetween(std::uint32_t earlier, std::uint32_t later) {
    return static_cast<std::int32_t>(later - earlier);
}

}  // namespace

void CSignalHistory::Add(const MeterSample& sample) {
    if (!m_samples.empty() && TicksBetween(m_samples.back().tickMs, sample.tickMs) < 0) return;
    m_samples.push_back(sample);
    while (TicksBetween(m_samples.front().tickMs, sample.tickMs) > kWindowMs) m_samples.pop_front();
    if (sample.carrierToNoiseDb &&
        (!m_peak || *sample.carrierToNoiseDb > *m_peak->carrierToNoiseDb))
        m_peak = sample;
}

void CSignalHistory::ResetPeak() {
    m_peak.reset();
}

std::optional<DecibelRange> CSignalHistory::CarrierToNoiseRange() const {
    std::optional<DecibelRange> range;
    for (const MeterSample& sample : m_samples) {
        if (!sample.carrierToNoiseDb) continue;
        const double value = *sample.carrierToNoiseDb;
        if (!range) {
            range = DecibelRange{value, value};
            continue;
        }
        range->lowDb = std::min(range->lowDb, value);
        range->highDb = std::max(range->highDb, value);
    }
    return range;
}
