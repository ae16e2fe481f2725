#include "status/signal_texts.h"

#include <gtest/gtest.h>

namespace {

MediaInfoRecord Carrier(std::int32_t standard, std::int32_t modCode, std::int32_t dvbsCodeRate) {
    MediaInfoRecord record;
    record.standard = standard;
    record.modCode = modCode;
    record.dvbsCodeRate = dvbsCodeRate;
    return record;
}

// What the card reports and the carrier it locked become the page's words; what the card does not
// report, and what follows from it, reads "not reported".
TEST(SignalTextsTest, FiguresOfTheCardAndTheCarrier) {
    SignalMeasureResult full;
    full.ok = true;
    full.carrierToNoiseDb = 12.34;
    full.levelDbm = -45.25;
    full.bitErrorRate = 2.0e-6;
    full.uncorrectedBlocks = 17;
    SignalMeasureResult quiet;
    quiet.ok = true;
    quiet.carrierToNoiseDb = 3.0;
    quiet.bitErrorRate = 0.0;
    quiet.uncorrectedBlocks = 0;
    const SignalMeasureResult none;

    struct Case {
        const char* name;
        SignalMeasureResult measure;
        std::optional<MediaInfoRecord> carrier;
        SignalTexts texts;
    };
    const Case cases[] = {
        {"DVB-S2 8PSK 2/3, everything reported",
         full,
         Carrier(1, 13, 8),
         {"DVB-S2 8PSK 2/3", "12.3 dB", "6.6 dB", "+5.7 dB", "-45.2 dBm", "2.0e-06", "17"}},
        {"DVB-S 3/4 below what it needs, no level",
         quiet,
         Carrier(0, 0, 2),
         {"DVB-S 3/4", "3.0 dB", "6.9 dB", "-3.9 dB", "not reported", "0", "0"}},
        {"a MODCOD without a published figure",
         full,
         Carrier(0, 0, 5),
         {"DVB-S 6/7", "12.3 dB", "not reported", "not reported", "-45.2 dBm", "2.0e-06", "17"}},
        {"unlocked",
         full,
         std::nullopt,
         {"no lock", "12.3 dB", "no lock", "no lock", "-45.2 dBm", "2.0e-06", "17"}},
        {"a card without the measurement",
         none,
         Carrier(1, 13, 8),
         {"DVB-S2 8PSK 2/3", "not reported", "6.6 dB", "not reported", "not reported",
          "not reported", "not reported"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SignalTexts texts = DescribeSignal(c.measure, c.carrier);
        EXPECT_EQ(texts.modCod, c.texts.modCod);
        EXPECT_EQ(texts.carrierToNoise, c.texts.carrierToNoise);
        EXPECT_EQ(texts.required, c.texts.required);
        EXPECT_EQ(texts.margin, c.texts.margin);
        EXPECT_EQ(texts.level, c.texts.level);
        EXPECT_EQ(texts.bitErrorRate, c.texts.bitErrorRate);
        EXPECT_EQ(texts.uncorrected, c.texts.uncorrected);
    }
}

}  // namespace
