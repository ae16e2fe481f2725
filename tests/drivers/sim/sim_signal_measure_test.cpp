// The simulated cards' measurement in physical units, read as the system reads it: the record
// from the tuner filter decoded by the system's layout, the carrier from the carrier report, the
// required C/N from the system's own table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "drivers/sim/sim_test_rig.h"
#include "platform/ks/vendor_property_sets.h"
#include "platform/ks/vendor_records.h"
#include "status/required_cn.h"

namespace {

constexpr std::size_t kArden = 0;  // PCI-E
constexpr std::size_t kGlen = 1;   // USB

const SimTune kAstra11362{11362, 'H', 22000};    // 19.2 E, DVB-S2 8PSK 2/3
const SimTune kHotbird10719{10719, 'V', 27500};  // 13.0 E, DVB-S 3/4
const SimTune kAstra28{10714, 'H', 22000};       // 28.2 E, DVB-S 5/6

SignalMeasureRecord Measure(CSimTestRig& rig) {
    ComPtr<IKsPropertySet> filter;
    EXPECT_EQ(
        rig.TunerFilter()->QueryInterface(IID_IKsPropertySet, filter.ReleaseAndGetVoidAddress()),
        S_OK);
    std::array<std::uint8_t, SignalMeasureRecord::kSize> bytes{};
    DWORD returned = 0;
    EXPECT_EQ(filter->Get(KSPROPSETID_SignalMeasure, KSPROPERTY_SIGNAL_MEASURE, nullptr, 0,
                          bytes.data(), SignalMeasureRecord::kSize, &returned),
              S_OK);
    EXPECT_EQ(returned, SignalMeasureRecord::kSize);
    return SignalMeasureRecord::Decode(bytes);
}

MediaInfoRecord Report(CSimTestRig& rig, std::size_t card) {
    std::vector<std::uint8_t> bytes(MediaInfoRecord::kSize, 0);
    const bool usb = card == kGlen;
    EXPECT_EQ(
        rig.GetRecord(usb ? KSPROPSETID_Ctrl : KSPROPSETID_BdaExt,
                      usb ? KSPROPERTY_CTRL_GET_MEDIAINFO : KSPROPERTY_BDA_GET_MEDIAINFO, bytes),
        S_OK);
    return MediaInfoRecord::Decode(std::span<const std::uint8_t, MediaInfoRecord::kSize>(
        bytes.data(), MediaInfoRecord::kSize));
}

void Lock(CSimTestRig& rig, char port, const SimTune& tune) {
    ASSERT_EQ(rig.SendCommittedSwitch(port, tune), S_OK);
    ASSERT_EQ(rig.Tune(tune), S_OK);
    rig.Clock().AdvanceMs(300);
}

TEST(SimSignalMeasure, MarginAgainstThePublishedFigureIsTheModelsWithinTheCardsNoise) {
    struct Case {
        std::size_t card;
        char port;
        SimTune tune;
        const char* modCod;
    };
    const Case cases[] = {
        {kArden, 'B', kAstra11362, "DVB-S2 8PSK 2/3"},
        {kGlen, 'B', kAstra11362, "DVB-S2 8PSK 2/3"},
        {kArden, 'C', kHotbird10719, "DVB-S 3/4"},
        {kGlen, 'D', kAstra28, "DVB-S 5/6"},
    };
    SimOptions options = CSimTestRig::NoiselessOptions();
    options.noise = 0.2;
    for (const Case& c : cases) {
        CSimTestRig rig(c.card, options);
        Lock(rig, c.port, c.tune);
        const MediaInfoRecord report = Report(rig, c.card);
        ASSERT_EQ(required_cn::ModCodText(report), c.modCod);
        const double required = *required_cn::RequiredCarrierToNoise(report);
        // A fixed dish on its satellite's boresight: the model's C/N is the option's.
        const double modelMargin = options.carrierToNoise - required;
        for (int reading = 0; reading < 20; ++reading) {
            const SignalMeasureRecord measure = Measure(rig);
            ASSERT_NE(measure.flags & SignalMeasureRecord::kCarrierToNoiseReported, 0u);
            const double margin = measure.carrierToNoiseMilliDb / 1000.0 - required;
            EXPECT_NEAR(margin, modelMargin, 5 * options.noise) << c.modCod;
        }
    }
}

TEST(SimSignalMeasure, ErrorsAppearOnlyNearTheThresholdAndRiseTowardsIt) {
    // 8PSK 2/3 needs 6.62 dB: margins of 7.38, 1.0, 0.3 and 0.1 dB.
    std::uint64_t previous = 0;
    for (const double cn : {14.0, 7.62, 6.92, 6.72}) {
        SimOptions options = CSimTestRig::NoiselessOptions();
        options.carrierToNoise = cn;
        CSimTestRig rig(kArden, options);
        Lock(rig, 'B', kAstra11362);
        const SignalMeasureRecord measure = Measure(rig);
        ASSERT_NE(measure.flags & SignalMeasureRecord::kBitErrorsReported, 0u) << cn;
        EXPECT_GT(measure.bitsCounted, 40'000'000u) << "a second of the carrier's bits";
        EXPECT_GE(measure.bitErrors, previous) << cn;
        if (cn == 14.0) {
            EXPECT_EQ(measure.bitErrors, 0u);
        }
        if (cn == 6.72) {
            EXPECT_GT(measure.bitErrors, 0u);
        }
        previous = measure.bitErrors;

        // An hour locked: blocks are lost only just above the threshold.
        rig.Clock().AdvanceMs(3'600'000);
        const SignalMeasureRecord later = Measure(rig);
        ASSERT_NE(later.flags & SignalMeasureRecord::kUncorrectedReported, 0u);
        if (cn == 6.72) {
            EXPECT_GT(later.uncorrectedBlocks, 0u);
        } else {
            EXPECT_EQ(later.uncorrectedBlocks, 0u) << cn;
        }
    }
}

// Just above the threshold the stream carries the blocks the card counts: each a packet with its
// transport error indicator set, as many in an hour of packets as the card's count in an hour.
TEST(SimSignalMeasure, TheStreamCarriesTheUncorrectedBlocksTheCardCounts) {
    SimOptions options = CSimTestRig::NoiselessOptions();
    options.carrierToNoise = 6.63;  // 8PSK 2/3 needs 6.62 dB
    CSimTestRig rig(kArden, options);
    Lock(rig, 'B', kAstra11362);
    const std::uint64_t bitsPerSecond = Measure(rig).bitsCounted;
    rig.Clock().AdvanceMs(3'600'000);
    const std::uint64_t counted = Measure(rig).uncorrectedBlocks;
    ASSERT_GT(counted, 2u) << "a margin where an hour loses a few blocks";

    // The hour's packets, through the card's marking a piece at a time, as a capture pin hands
    // them on.
    constexpr std::size_t kPiece = 2000;
    std::vector<std::uint8_t> packets(kPiece * 188);
    std::uint64_t left = bitsPerSecond * 3600 / (188 * 8);
    std::uint64_t marked = 0;
    while (left > 0) {
        const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(left, kPiece));
        rig.Card().MarkUncorrectable(packets.data(), count);
        for (std::size_t i = 0; i < count; ++i) {
            marked += (packets[i * 188 + 1] & 0x80) != 0;
            packets[i * 188 + 1] = 0;
        }
        left -= count;
    }
    EXPECT_NEAR(static_cast<double>(marked), static_cast<double>(counted), 1.0);
}

TEST(SimSignalMeasure, UnlockedKeepsTheCarrierToNoiseOnlyAndNoCarrierReportsNothing) {
    CSimTestRig rig(kGlen);
    EXPECT_EQ(Measure(rig).flags, 0u) << "never tuned";
    ASSERT_EQ(rig.SendCommittedSwitch('B', kAstra11362), S_OK);
    ASSERT_EQ(rig.Tune(kAstra11362), S_OK);
    rig.Clock().AdvanceMs(299);  // still acquiring
    const SignalMeasureRecord acquiring = Measure(rig);
    EXPECT_EQ(acquiring.flags, SignalMeasureRecord::kCarrierToNoiseReported);
    // The estimator's floor adds its -3 dB of noise power: 0.09 dB on a 14 dB carrier.
    EXPECT_EQ(acquiring.carrierToNoiseMilliDb, 14'086);
    rig.Clock().AdvanceMs(1);
    EXPECT_EQ(Measure(rig).flags, SignalMeasureRecord::kCarrierToNoiseReported |
                                      SignalMeasureRecord::kBitErrorsReported |
                                      SignalMeasureRecord::kUncorrectedReported)
        << "the level is never reported: the model has no received power";
    // Tuned on the other polarisation, the carrier is 25 dB down, 11 dB under the noise: the
    // reading is the estimator's -3 dB floor with the carrier's power added, not the model's -11.
    ASSERT_EQ(rig.SendCommittedSwitch('B', SimTune{11362, 'V'}), S_OK);
    ASSERT_EQ(rig.Tune(SimTune{11362, 'V'}), S_OK);
    rig.Clock().AdvanceMs(1000);
    const SignalMeasureRecord crossPolar = Measure(rig);
    EXPECT_EQ(crossPolar.flags, SignalMeasureRecord::kCarrierToNoiseReported);
    EXPECT_NEAR(crossPolar.carrierToNoiseMilliDb / 1000.0, -2.36, 0.01);
    const SimTune nothing{11363, 'H', 7000};
    ASSERT_EQ(rig.Tune(nothing), S_OK);
    rig.Clock().AdvanceMs(1000);
    EXPECT_EQ(Measure(rig), SignalMeasureRecord{});
}

TEST(SimSignalMeasure, OnlyTheTunerFilterAnswersAndOnlyToAGet) {
    for (const std::size_t card : {kArden, kGlen}) {
        CSimTestRig rig(card);
        ComPtr<IKsPropertySet> filter;
        ASSERT_EQ(rig.TunerFilter()->QueryInterface(IID_IKsPropertySet,
                                                    filter.ReleaseAndGetVoidAddress()),
                  S_OK);
        DWORD support = 0;
        EXPECT_EQ(
            filter->QuerySupported(KSPROPSETID_SignalMeasure, KSPROPERTY_SIGNAL_MEASURE, &support),
            S_OK);
        EXPECT_EQ(support, KSPROPERTY_SUPPORT_GET);
        EXPECT_EQ(filter->QuerySupported(KSPROPSETID_SignalMeasure, 2, &support),
                  E_PROP_ID_UNSUPPORTED);
        std::vector<std::uint8_t> record(SignalMeasureRecord::kSize, 0);
        EXPECT_EQ(filter->Set(KSPROPSETID_SignalMeasure, KSPROPERTY_SIGNAL_MEASURE, nullptr, 0,
                              record.data(), SignalMeasureRecord::kSize),
                  E_PROP_ID_UNSUPPORTED);
        DWORD returned = 0;
        EXPECT_EQ(filter->Get(KSPROPSETID_SignalMeasure, KSPROPERTY_SIGNAL_MEASURE, nullptr, 0,
                              record.data(), SignalMeasureRecord::kSize - 1, &returned),
                  E_INVALIDARG);
        if (card == kArden) {
            EXPECT_EQ(rig.Driver()->QuerySupported(KSPROPSETID_SignalMeasure,
                                                   KSPROPERTY_SIGNAL_MEASURE, &support),
                      E_PROP_SET_UNSUPPORTED)
                << "not on the PCI-E card's pin";
        }
    }
}

}  // namespace
