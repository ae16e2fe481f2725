// Lock, strength and quality as the signal monitor reads them from a Linux DVB tuner.
#include <gtest/gtest.h>

#include <cerrno>

#include "drivers/linuxdvb/dvb_api.h"
#include "drivers/linuxdvb/dvb_errors.h"
#include "drivers/linuxdvb/linux_dvb_test_rig.h"

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

}  // namespace
}  // namespace linuxdvb::testing
