#include "paired_ratio.h"

#include <sched.h>

#include <algorithm>
#include <cstdio>

namespace {

// The value at fraction q of the sorted values, between neighbours by linear interpolation.
double Quantile(std::vector<double> values, double q) {
    std::sort(values.begin(), values.end());
    const double at = q * static_cast<double>(values.size() - 1);
    const auto below = static_cast<std::size_t>(at);
    const std::size_t above = std::min(below + 1, values.size() - 1);
    return values[below] + (values[above] - values[below]) * (at - static_cast<double>(below));
}

}  // namespace

void CPairedRatio::PinToOneCpu() {
    cpu_set_t allowed;
    if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (!CPU_ISSET(cpu, &allowed)) continue;
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(cpu, &one);
        if (sched_setaffinity(0, sizeof one, &one) != 0) {
            std::fprintf(stderr, "cannot keep the benchmark on one CPU: results will swing\n");
        }
        return;
    }
}

CPairedRatio CPairedRatio::Measure(int pairs, const Side& measured, const Side& baseline) {
    CPairedRatio result;
    std::vector<double> measuredRates;
    std::vector<double> baselineRates;
    for (int pair = 0; pair < pairs; ++pair) {
        double measuredRate = 0;
        double baselineRate = 0;
        if (pair % 2 == 0) {
            baselineRate = baseline();
            measuredRate = measured();
        } else {
            measuredRate = measured();
            baselineRate = baseline();
        }
        measuredRates.push_back(measuredRate);
        baselineRates.push_back(baselineRate);
        result.m_ratios.push_back(measuredRate / baselineRate);
    }
    result.m_dMedian = Quantile(result.m_ratios, 0.5);
    result.m_dLow = Quantile(result.m_ratios, 0.25);
    result.m_dHigh = Quantile(result.m_ratios, 0.75);
    result.m_dMeasuredRate = Quantile(measuredRates, 0.5);
    result.m_dBaselineRate = Quantile(baselineRates, 0.5);
    return result;
}

std::string CPairedRatio::Text() const {
    char text[128];
    std::snprintf(text, sizeof text,
                  "%.3f (median of %zu interleaved pairs, middle half %.3f to %.3f)", m_dMedian,
                  m_ratios.size(), m_dLow, m_dHigh);
    return text;
}
