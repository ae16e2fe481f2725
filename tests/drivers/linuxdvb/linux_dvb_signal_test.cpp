// Lock, strength and quality as the signal monitor reads them from a Linux DVB tuner.
#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <string>

#include "drivers/linuxdvb/dvb_api.h"
#include "drivers/linuxdvb/dvb_errors.h"
#include "drivers/linuxdvb/linux_dvb_test_rig.h"
#include "platform/ks/vendor_property_sets.h"
#include "platform/ks/vendor_records.h"

namespace linuxdvb::testing {
namespace {

struct Reading {
    LONG strength = -1;
    LONG quality = -1;
    BOOLEAN locked = 2;
};

Reading Read(CLinuxDvbTestRig& rig) {
    Reading reading;
    EXPECT_EQ(rig.ReadSignal(reading.strength, reading.quality, reading.locked), S_OK);
    return reading;
}

void SetStatistic(CLinuxDvbTestRig& rig, DvbStatisticSource source, DvbScale scale,
                  std::int64_t value) {
    std::lock_guard guard(rig.Kernel().state->lock);
    rig.Kernel().state->statistics[source] = DvbStatistic{scale, value};
}

void SetStatus(CLinuxDvbTestRig& rig, std::uint32_t status) {
    std::lock_guard guard(rig.Kernel().state->lock);
    rig.Kernel().state->status = status;
}

constexpr std::uint32_t kLocked =
    FE_HAS_SIGNAL | FE_HAS_CARRIER | FE_HAS_VITERBI | FE_HAS_SYNC | FE_HAS_LOCK;

TEST(SignalStatistics, DecibelScaleAsVidtvReportsIt) {
    CLinuxDvbTestRig rig;
    SetStatus(rig, kLocked);
    SetStatistic(rig, DvbStatisticSource::CarrierToNoise, DvbScale::Decibel, 13'000);  // 13 dB
    SetStatistic(rig, DvbStatisticSource::Strength, DvbScale::Decibel, -55'000);       // -55 dBm
    const Reading reading = Read(rig);
    EXPECT_EQ(reading.locked, 1);
    EXPECT_EQ(reading.quality, 65);
    EXPECT_EQ(reading.strength, 56);  // (100 - 55) / 80
}

TEST(SignalStatistics, RelativeScale) {
    CLinuxDvbTestRig rig;
    SetStatus(rig, kLocked);
    SetStatistic(rig, DvbStatisticSource::CarrierToNoise, DvbScale::Relative, 49'151);
    SetStatistic(rig, DvbStatisticSource::Strength, DvbScale::Relative, 13'107);
    const Reading reading = Read(rig);
    EXPECT_EQ(reading.quality, 75);
    EXPECT_EQ(reading.strength, 20);
}

TEST(SignalStatistics, UnlockedHasNoQualityAndGarbageStrengthIsNoSignal) {
    CLinuxDvbTestRig rig;
    SetStatus(rig, FE_HAS_SIGNAL);
    SetStatistic(rig, DvbStatisticSource::CarrierToNoise, DvbScale::Decibel, 30'000);
    SetStatistic(rig, DvbStatisticSource::Strength, DvbScale::Decibel,
                 2'147'000'000);  // what vidtv leaves unlocked
    const Reading reading = Read(rig);
    EXPECT_EQ(reading.locked, 0);
    EXPECT_EQ(reading.quality, 0);
    EXPECT_EQ(reading.strength, 0);
}

TEST(SignalStatistics, LegacyReadingsWhenTheDriverHasNoDvbV5Statistics) {
    CLinuxDvbTestRig rig;
    SetStatus(rig, kLocked);
    SetStatistic(rig, DvbStatisticSource::LegacyStrength, DvbScale::Relative, 65'535);
    SetStatistic(rig, DvbStatisticSource::LegacySnr, DvbScale::Relative, 32'768);
    const Reading reading = Read(rig);
    EXPECT_EQ(reading.strength, 100);
    EXPECT_EQ(reading.quality, 50);
}

TEST(SignalStatistics, NoStatisticsAtAllReadsZeroButStillLock) {
    CLinuxDvbTestRig rig;
    SetStatus(rig, kLocked);
    rig.Kernel().SetError("Statistic:2", kErrnoNotSupportedKernel);  // legacy strength
    rig.Kernel().SetError("Statistic:3", kErrnoNotSupportedKernel);  // legacy SNR
    const Reading reading = Read(rig);
    EXPECT_EQ(reading.locked, 1);
    EXPECT_EQ(reading.strength, 0);
    EXPECT_EQ(reading.quality, 0);
}

TEST(SignalStatistics, StatusFailureFailsTheQuery) {
    CLinuxDvbTestRig rig;
    rig.Kernel().SetError("ReadStatus", EIO);
    LONG strength = 0;
    LONG quality = 0;
    BOOLEAN locked = 0;
    EXPECT_EQ(rig.ReadSignal(strength, quality, locked), E_FAIL);
    EXPECT_FALSE(rig.Card().IsRemoved());
}

// The measurement in physical units through the tuner filter, as the system's GetSignalMeasure
// reads it.
SignalMeasureRecord Measure(CLinuxDvbTestRig& rig) {
    std::array<std::uint8_t, SignalMeasureRecord::kSize> bytes{};
    DWORD returned = 0;
    EXPECT_EQ(rig.FilterDriver()->Get(KSPROPSETID_SignalMeasure, KSPROPERTY_SIGNAL_MEASURE, nullptr,
                                      0, bytes.data(), SignalMeasureRecord::kSize, &returned),
              S_OK);
    EXPECT_EQ(returned, SignalMeasureRecord::kSize);
    return SignalMeasureRecord::Decode(bytes);
}

using Source = DvbStatisticSource;
constexpr std::uint32_t kCn = SignalMeasureRecord::kCarrierToNoiseReported;
constexpr std::uint32_t kLevel = SignalMeasureRecord::kLevelReported;
constexpr std::uint32_t kBits = SignalMeasureRecord::kBitErrorsReported;
constexpr std::uint32_t kBlocks = SignalMeasureRecord::kUncorrectedReported;

struct MeasureCase {
    std::string name;
    std::uint32_t status;
    std::map<Source, DvbStatistic> statistics;
    SignalMeasureRecord expected;
};

TEST(SignalMeasure, KernelStatisticsInDecibelsAndCountersOnlyAsTheKernelGivesThem) {
    const DvbStatistic notAvailable{DvbScale::NotAvailable, 0};
    const std::map<Source, DvbStatistic> counters = {
        {Source::PreErrorBits, {DvbScale::Counter, 900}},
        {Source::PreTotalBits, {DvbScale::Counter, 1'000'000}},
        {Source::PostErrorBits, {DvbScale::Counter, 12}},
        {Source::PostTotalBits, {DvbScale::Counter, 3'000'000}},
        {Source::ErrorBlocks, {DvbScale::Counter, 4}},
    };
    auto with = [&](std::map<Source, DvbStatistic> extra) {
        std::map<Source, DvbStatistic> all = counters;
        for (const auto& [source, statistic] : extra) all[source] = statistic;
        return all;
    };
    const std::vector<MeasureCase> cases = {
        {"Decibel",
         kLocked,
         with({{Source::CarrierToNoise, {DvbScale::Decibel, 9'125}},
               {Source::Strength, {DvbScale::Decibel, -48'500}}}),
         {kCn | kLevel | kBits | kBlocks, 9'125, -48'500, 12, 3'000'000, 4}},
        {"PreFecWhenThereIsNoPostFecCount",
         kLocked,
         with({{Source::CarrierToNoise, {DvbScale::Decibel, -1'500}},
               {Source::PostErrorBits, notAvailable}}),
         {kCn | kBits | kBlocks, -1'500, 0, 900, 1'000'000, 4}},
        {"RelativeIsNotConverted",
         kLocked,
         {{Source::CarrierToNoise, {DvbScale::Relative, 49'151}},
          {Source::Strength, {DvbScale::Relative, 13'107}},
          {Source::LegacySnr, {DvbScale::Relative, 40'000}}},
         {}},
        {"NotAvailable",
         kLocked,
         {{Source::CarrierToNoise, notAvailable},
          {Source::Strength, notAvailable},
          {Source::PostErrorBits, notAvailable},
          {Source::PostTotalBits, notAvailable},
          {Source::ErrorBlocks, notAvailable}},
         {}},
        {"UnlockedKeepsTheDecibelsButNoCounts",
         FE_HAS_SIGNAL,
         with({{Source::CarrierToNoise, {DvbScale::Decibel, 2'000}},
               {Source::Strength, {DvbScale::Decibel, -70'000}}}),
         {kCn | kLevel, 2'000, -70'000, 0, 0, 0}},
        {"GarbageLevelIsNoMeasurement",
         FE_HAS_SIGNAL,
         {{Source::Strength, {DvbScale::Decibel, 2'147'000'000}}},
         {}},
    };
    for (const MeasureCase& c : cases) {
        CLinuxDvbTestRig rig;
        SetStatus(rig, c.status);
        for (const auto& [source, statistic] : c.statistics)
            SetStatistic(rig, source, statistic.scale, statistic.value);
        EXPECT_EQ(Measure(rig), c.expected) << c.name;
    }
}

TEST(SignalMeasure, EachReadingReportsWhatTheBitCountersGrewBy) {
    CLinuxDvbTestRig rig;
    SetStatus(rig, kLocked);
    auto counters = [&](std::int64_t errors, std::int64_t total) {
        SetStatistic(rig, Source::PostErrorBits, DvbScale::Counter, errors);
        SetStatistic(rig, Source::PostTotalBits, DvbScale::Counter, total);
    };
    struct Step {
        std::int64_t errors, total;
        std::uint64_t windowErrors, windowBits;
    };
    const Step steps[] = {
        {10, 1'000, 10, 1'000},  // the first reading: what they hold
        {13, 5'000, 3, 4'000},   // grown
        {13, 5'000, 3, 4'000},   // not moved: the window before
        {2, 800, 2, 800},        // started again (a tune of another program's making)
    };
    for (const Step& step : steps) {
        counters(step.errors, step.total);
        const SignalMeasureRecord measure = Measure(rig);
        EXPECT_EQ(measure.flags, kBits) << step.total;
        EXPECT_EQ(measure.bitErrors, step.windowErrors) << step.total;
        EXPECT_EQ(measure.bitsCounted, step.windowBits) << step.total;
    }
    SetStatus(rig, FE_HAS_SIGNAL);
    EXPECT_EQ(Measure(rig).flags, 0u) << "no counts without lock";
    SetStatus(rig, kLocked);
    counters(20, 6'000);
    EXPECT_EQ(Measure(rig).bitsCounted, 6'000u) << "a new lock starts a new count";
}

TEST(SignalMeasure, OnlyTheFilterAnswersAndAFailedStatusFailsIt) {
    CLinuxDvbTestRig rig;
    DWORD support = 0;
    EXPECT_EQ(rig.FilterDriver()->QuerySupported(KSPROPSETID_SignalMeasure,
                                                 KSPROPERTY_SIGNAL_MEASURE, &support),
              S_OK);
    EXPECT_EQ(support, KSPROPERTY_SUPPORT_GET);
    EXPECT_EQ(rig.PinDriver()->QuerySupported(KSPROPSETID_SignalMeasure, KSPROPERTY_SIGNAL_MEASURE,
                                              &support),
              E_PROP_SET_UNSUPPORTED);
    EXPECT_EQ(rig.FilterDriver()->QuerySupported(KSPROPSETID_Ctrl, 1, &support),
              E_PROP_SET_UNSUPPORTED)
        << "still no USB carrier";
    rig.Kernel().SetError("ReadStatus", EIO);
    std::array<std::uint8_t, SignalMeasureRecord::kSize> bytes{};
    DWORD returned = 0;
    EXPECT_EQ(rig.FilterDriver()->Get(KSPROPSETID_SignalMeasure, KSPROPERTY_SIGNAL_MEASURE, nullptr,
                                      0, bytes.data(), SignalMeasureRecord::kSize, &returned),
              E_FAIL);
    EXPECT_EQ(returned, 0u);
}

}  // namespace
}  // namespace linuxdvb::testing
