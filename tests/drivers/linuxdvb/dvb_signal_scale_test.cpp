// Strength and quality for the 0..100 bars from both of the kernel's scales, and garbage; the
// statistic taken from the kernel's answer.
#include "drivers/linuxdvb/dvb_signal_scale.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "drivers/linuxdvb/kernel_frontend_device.h"

namespace linuxdvb {
namespace {

struct ScaleCase {
    DvbScale scale;
    std::int64_t value;
    std::optional<int> percent;
};

// Case names from the scale and the raw value (the kernel's 0.001 dB or 1/65535 steps).
std::string ScaleCaseName(const ::testing::TestParamInfo<ScaleCase>& item) {
    std::string name;
    switch (item.param.scale) {
        case DvbScale::Decibel:
            name = "Decibel_";
            break;
        case DvbScale::Relative:
            name = "Relative_";
            break;
        case DvbScale::Counter:
            name = "Counter_";
            break;
        case DvbScale::NotAvailable:
            name = "NotAvailable_";
            break;
    }
    const std::int64_t value = item.param.value;
    if (value == INT64_MIN) return name + "Int64Min";
    if (value == INT64_MAX) return name + "Int64Max";
    return name + (value < 0 ? "Minus" + std::to_string(-value) : std::to_string(value));
}

class StrengthTable : public ::testing::TestWithParam<ScaleCase> {};
class QualityTable : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(StrengthTable, MapsOntoPercent) {
    EXPECT_EQ(StrengthPercent({GetParam().scale, GetParam().value}), GetParam().percent);
}

TEST_P(QualityTable, MapsOntoPercent) {
    EXPECT_EQ(QualityPercent({GetParam().scale, GetParam().value}), GetParam().percent);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StrengthTable,
    ::testing::Values(
        ScaleCase{DvbScale::Decibel, -100'000, 0},   // -100 dBm: the floor
        ScaleCase{DvbScale::Decibel, -20'000, 100},  // -20 dBm: full
        ScaleCase{DvbScale::Decibel, -60'000, 50},
        ScaleCase{DvbScale::Decibel, -34'000, 83},   // vidtv, locked, FEC auto (82.5)
        ScaleCase{DvbScale::Decibel, -120'000, 0},   // weaker than the floor: clamped
        ScaleCase{DvbScale::Decibel, -10'000, 100},  // stronger than full: clamped
        ScaleCase{DvbScale::Decibel, 30'000, 100},   // +30 dBm: still a reading
        ScaleCase{DvbScale::Decibel, 30'001, 0},     // beyond: garbage, no signal
        ScaleCase{DvbScale::Decibel, -150'001, 0},
        ScaleCase{DvbScale::Decibel, 4'294'899'296, 0},  // an unsigned -68000 read as signed 64
        ScaleCase{DvbScale::Decibel, INT64_MIN, 0}, ScaleCase{DvbScale::Relative, 0, 0},
        ScaleCase{DvbScale::Relative, 65'535, 100}, ScaleCase{DvbScale::Relative, 32'768, 50},
        ScaleCase{DvbScale::Relative, 1'000'000, 100},  // out of range: clamped
        ScaleCase{DvbScale::Counter, 5, std::nullopt},
        ScaleCase{DvbScale::NotAvailable, -34'000, std::nullopt}),
    ScaleCaseName);

INSTANTIATE_TEST_SUITE_P(
    Cases, QualityTable,
    ::testing::Values(ScaleCase{DvbScale::Decibel, 0, 0},         // 0 dB
                      ScaleCase{DvbScale::Decibel, 20'000, 100},  // 20 dB
                      ScaleCase{DvbScale::Decibel, 13'000, 65},   // vidtv, S QPSK 3/4
                      ScaleCase{DvbScale::Decibel, 9'990, 50},    // 49.95 rounds up
                      ScaleCase{DvbScale::Decibel, 34'000, 100},  // vidtv, FEC auto: clamped
                      ScaleCase{DvbScale::Decibel, -5'000, 0},    // negative: clamped
                      ScaleCase{DvbScale::Decibel, INT64_MAX, 100},
                      ScaleCase{DvbScale::Relative, 65'535, 100},
                      ScaleCase{DvbScale::Relative, 655, 1}, ScaleCase{DvbScale::Relative, -1, 0},
                      ScaleCase{DvbScale::Counter, 100, std::nullopt},
                      ScaleCase{DvbScale::NotAvailable, 0, std::nullopt}),
    ScaleCaseName);

dtv_fe_stats FirstLayer(std::uint8_t length, std::uint8_t scale, std::uint64_t value) {
    dtv_fe_stats stats{};
    stats.len = length;
    stats.stat[0].scale = scale;
    stats.stat[0].uvalue = value;
    return stats;
}

bool operator==(const DvbStatistic& a, const DvbStatistic& b) {
    return a.scale == b.scale && a.value == b.value;
}

TEST(KernelStatistic, FirstLayerOfTheKernelsAnswer) {
    EXPECT_TRUE(StatisticOfFirstLayer(
                    FirstLayer(1, FE_SCALE_DECIBEL, static_cast<std::uint64_t>(-55'000))) ==
                (DvbStatistic{DvbScale::Decibel, -55'000}));
    EXPECT_TRUE(StatisticOfFirstLayer(FirstLayer(1, FE_SCALE_RELATIVE, 40'000)) ==
                (DvbStatistic{DvbScale::Relative, 40'000}));
    EXPECT_TRUE(StatisticOfFirstLayer(FirstLayer(4, FE_SCALE_COUNTER, 12)) ==
                (DvbStatistic{DvbScale::Counter, 12}));
    // No layer, a scale the kernel calls "not available" or one it does not define: nothing.
    EXPECT_TRUE(StatisticOfFirstLayer(FirstLayer(0, FE_SCALE_DECIBEL, 1)) == DvbStatistic{});
    EXPECT_TRUE(StatisticOfFirstLayer(FirstLayer(1, FE_SCALE_NOT_AVAILABLE, 1)) == DvbStatistic{});
    EXPECT_TRUE(StatisticOfFirstLayer(FirstLayer(1, 0xFF, 1)) == DvbStatistic{});
    // A relative value past 65535 still gives a full bar, not a wrapped one.
    EXPECT_EQ(StrengthPercent(
                  StatisticOfFirstLayer(FirstLayer(1, FE_SCALE_RELATIVE, ~std::uint64_t{0} >> 1))),
              100);
    EXPECT_TRUE(StatisticOfLegacyReading(65'535) == (DvbStatistic{DvbScale::Relative, 65'535}));
}

}  // namespace
}  // namespace linuxdvb
