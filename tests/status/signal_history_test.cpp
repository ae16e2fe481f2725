#include "status/signal_history.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace {

struct Reading {
    std::uint32_t tickMs;
    std::optional<double> carrierToNoiseDb;
};

CSignalHistory Filled(const std::vector<Reading>& readings) {
    CSignalHistory history;
    for (const Reading& reading : readings)
        history.Add(MeterSample{reading.tickMs, reading.carrierToNoiseDb, -50.0});
    return history;
}

std::vector<std::uint32_t> Ticks(const CSignalHistory& history) {
    std::vector<std::uint32_t> ticks;
    for (const MeterSample& sample : history.Samples()) ticks.push_back(sample.tickMs);
    return ticks;
}

constexpr std::uint32_t kNearWrap = 0xFFFFF000U;  // 4096 ms before the tick count wraps

// The minute is measured back from the newest sample: exactly 60 s old stays, a millisecond more
// goes, also across the wrap of the tick count; a sample older than the newest is ignored.
TEST(SignalHistoryTest, KeepsTheLastMinuteOfTheNewest) {
    struct Case {
        const char* name;
        std::vector<Reading> readings;
        std::vector<std::uint32_t> kept;
    };
    const Case cases[] = {
        {"within the minute", {{0, 1}, {30000, 2}, {60000, 3}}, {0, 30000, 60000}},
        {"60 s old stays, 60.001 s goes",
         {{0, 1}, {1, 2}, {30000, 3}, {60001, 4}},
         {1, 30000, 60001}},
        {"everything before a long silence goes", {{0, 1}, {1000, 2}, {500000, 3}}, {500000}},
        {"across the wrap",
         {{kNearWrap, 1}, {kNearWrap + 4000, 2}, {55000, 3}, {56000, 4}},
         {kNearWrap + 4000, 55000, 56000}},
        {"an older sample is ignored", {{1000, 1}, {5000, 2}, {3000, 3}}, {1000, 5000}},
        {"the same tick twice is kept", {{1000, 1}, {1000, 2}}, {1000, 1000}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Ticks(Filled(c.readings)), c.kept);
    }
}

// The peak is the first sample that reached the highest C/N since construction or the last reset,
// whether or not it is still in the minute; readings without a C/N never make one.
TEST(SignalHistoryTest, HoldsThePeakBeyondTheMinute) {
    struct Case {
        const char* name;
        std::vector<Reading> readings;
        int resetBefore;  // the reading ResetPeak comes before; the count for after all; -1 none
        std::optional<Reading> peak;
    };
    const Case cases[] = {
        {"highest wins", {{0, 5.0}, {150, 9.5}, {300, 7.0}}, -1, Reading{150, 9.5}},
        {"a tie keeps the first", {{0, 9.5}, {150, 9.5}}, -1, Reading{0, 9.5}},
        {"negative C/N is a peak too", {{0, -3.0}, {150, -4.0}}, -1, Reading{0, -3.0}},
        {"no C/N, no peak", {{0, std::nullopt}, {150, std::nullopt}}, -1, std::nullopt},
        {"older than the minute", {{0, 15.0}, {61000, 10.0}, {120000, 11.0}}, -1, Reading{0, 15.0}},
        {"after a reset a lower value is the peak",
         {{0, 15.0}, {150, 8.0}, {300, 9.0}},
         1,
         Reading{300, 9.0}},
        {"reset at the end", {{0, 15.0}, {150, 8.0}}, 2, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CSignalHistory history;
        for (std::size_t i = 0; i < c.readings.size(); ++i) {
            if (static_cast<int>(i) == c.resetBefore) history.ResetPeak();
            history.Add(MeterSample{c.readings[i].tickMs, c.readings[i].carrierToNoiseDb, -50.0});
        }
        if (static_cast<std::size_t>(c.resetBefore) == c.readings.size()) history.ResetPeak();
        ASSERT_EQ(history.Peak().has_value(), c.peak.has_value());
        if (!c.peak) continue;
        EXPECT_EQ(history.Peak()->tickMs, c.peak->tickMs);
        EXPECT_EQ(history.Peak()->carrierToNoiseDb, c.peak->carrierToNoiseDb);
        EXPECT_EQ(history.Peak()->levelDbm, -50.0);
    }
}

// The range a plot needs covers the C/N of the minute only, skipping readings without one.
TEST(SignalHistoryTest, RangeOfTheMinute) {
    struct Case {
        const char* name;
        std::vector<Reading> readings;
        std::optional<DecibelRange> range;
    };
    const Case cases[] = {
        {"empty", {}, std::nullopt},
        {"no C/N at all", {{0, std::nullopt}}, std::nullopt},
        {"one value", {{0, 7.5}}, DecibelRange{7.5, 7.5}},
        {"gaps skipped", {{0, 7.5}, {150, std::nullopt}, {300, 3.25}}, DecibelRange{3.25, 7.5}},
        {"a high value that left the minute",
         {{0, 20.0}, {1000, 8.0}, {61000, 9.0}},
         DecibelRange{8.0, 9.0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<DecibelRange> range = Filled(c.readings).CarrierToNoiseRange();
        ASSERT_EQ(range.has_value(), c.range.has_value());
        if (!range) continue;
        EXPECT_EQ(range->lowDb, c.range->lowDb);
        EXPECT_EQ(range->highDb, c.range->highDb);
    }
}

}  // namespace
