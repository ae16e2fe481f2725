// The carrier's useful rate from the card's report: each standard's arithmetic on the report's
// own codes, and no rate wherever the report leaves something out.
#include "status/carrier_useful_rate.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using stream_info::CarrierUsefulRate;

MediaInfoRecord Dvbs(std::int32_t symbolRate, std::int32_t codeRateIndex) {
    MediaInfoRecord report;
    report.standard = 0;
    report.symbolRate = symbolRate;
    report.dvbsCodeRate = codeRateIndex;
    report.modCode = 0;
    return report;
}

// A single transport stream without deleted null packets, as a card reports most carriers.
MediaInfoRecord Dvbs2(std::int32_t symbolRate, std::int32_t modCode, std::int32_t pilots,
                      std::int32_t frameLength) {
    MediaInfoRecord report;
    report.standard = 1;
    report.symbolRate = symbolRate;
    report.modCode = modCode;
    report.dvbsCodeRate = 8;
    report.streamType = 3;
    report.inputStream = 1;
    report.nullPacketDeletion = 0;
    report.pilots = pilots;
    report.frameLength = frameLength;
    return report;
}

template <typename Change>
MediaInfoRecord With(MediaInfoRecord report, Change change) {
    change(report);
    return report;
}

TEST(CarrierUsefulRateTest, EachReportGivesTheRateOfItsCarrierOrNoneWhenItTellsTooLittle) {
    struct Case {
        const char* what;
        MediaInfoRecord report;
        std::optional<double> bitsPerSecond;
    };
    // By hand: DVB-S Rs * 2 * CR * 188 / 204; DVB-S2 Rs * (Kbch - 80) / PLFRAME symbols.
    const MediaInfoRecord psk8 = Dvbs2(22'000'000, 13, 1, 0);  // 8PSK 2/3
    const Case cases[] = {
        {"DVB-S 3/4 at 27500 kSps", Dvbs(27'500'000, 2), 38'014'705.88},
        {"DVB-S 7/8 at 27500 kSps", Dvbs(27'500'000, 6), 44'350'490.20},
        {"DVB-S2 8PSK 2/3, pilots, normal frames, 22000 kSps (Kbch 43040, 22194 symbols)", psk8,
         42'584'482.29},
        {"the same without pilots (21690 symbols)", With(psk8, [](auto& r) { r.pilots = 0; }),
         43'573'997.23},
        {"DVB-S2 QPSK 3/4, short frames, 27500 kSps (Kbch 11712, 8190 symbols)",
         Dvbs2(27'500'000, 7, 0, 1), 39'057'387.06},
        {"no symbol rate", Dvbs(0, 2), std::nullopt},
        {"DVB-S 6/7, which DVB-S has not", Dvbs(27'500'000, 5), std::nullopt},
        {"DVB-S code rate not known", Dvbs(27'500'000, 8), std::nullopt},
        {"standard not known", With(psk8, [](auto& r) { r.standard = -1; }), std::nullopt},
        {"pilots not known", With(psk8, [](auto& r) { r.pilots = -1; }), std::nullopt},
        {"frame length not known", With(psk8, [](auto& r) { r.frameLength = -1; }), std::nullopt},
        {"MODCOD not known", With(psk8, [](auto& r) { r.modCode = 29; }), std::nullopt},
        {"a DVB-S2X code of the x-model card", With(psk8, [](auto& r) { r.modCode = 70; }),
         std::nullopt},
        {"a generic stream", With(psk8, [](auto& r) { r.streamType = 1; }), std::nullopt},
        {"several input streams share the carrier", With(psk8, [](auto& r) { r.inputStream = 0; }),
         std::nullopt},
        {"null packets deleted", With(psk8, [](auto& r) { r.nullPacketDeletion = 1; }),
         std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<double> rate = CarrierUsefulRate(c.report);
        ASSERT_EQ(rate.has_value(), c.bitsPerSecond.has_value());
        if (rate) {
            EXPECT_NEAR(*rate, *c.bitsPerSecond, 0.01);
        }
    }
}

}  // namespace
