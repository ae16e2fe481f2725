#include "platform/media/useful_bit_rate.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <set>

namespace {

using dvb_rate::CarrierParameters;
using dvb_rate::CodeRate;
using dvb_rate::DeliverySystem;
using dvb_rate::FrameLength;
using dvb_rate::Modulation;

CarrierParameters Carrier(DeliverySystem system, Modulation modulation, CodeRate rate,
                          std::uint32_t symbolRate, bool pilots = false,
                          FrameLength frame = FrameLength::Normal) {
    CarrierParameters c;
    c.system = system;
    c.modulation = modulation;
    c.rate = rate;
    c.symbolRate = symbolRate;
    c.pilots = pilots;
    c.frame = frame;
    return c;
}

// Worked by hand (exact fractions, rounded here to 0.001 bit/s).
struct AnchorCase {
    const char* what;
    CarrierParameters carrier;
    double expected;
};

const AnchorCase kAnchors[] = {
    {"S QPSK 1/2 27.5M",
     Carrier(DeliverySystem::DvbS, Modulation::Qpsk, CodeRate::R1_2, 27'500'000), 25'343'137.255},
    {"S QPSK 3/4 27.5M",
     Carrier(DeliverySystem::DvbS, Modulation::Qpsk, CodeRate::R3_4, 27'500'000), 38'014'705.882},
    {"S QPSK 7/8 27.5M",
     Carrier(DeliverySystem::DvbS, Modulation::Qpsk, CodeRate::R7_8, 27'500'000), 44'350'490.196},
    // 27.5e6 * (43040 - 80) / (90 + 240 * 90)
    {"S2 8PSK 2/3 27.5M",
     Carrier(DeliverySystem::DvbS2, Modulation::Psk8, CodeRate::R2_3, 27'500'000), 54'467'496.542},
    // 27e6 * (48408 - 80) / (90 + 144 * 90)
    {"S2 32APSK 3/4 27M",
     Carrier(DeliverySystem::DvbS2, Modulation::Apsk32, CodeRate::R3_4, 27'000'000),
     99'988'965.517},
};

TEST(UsefulBitRate, MatchesHandWorkedCarriers) {
    for (const AnchorCase& c : kAnchors) {
        const std::optional<double> rate = dvb_rate::UsefulBitRate(c.carrier);
        ASSERT_TRUE(rate.has_value()) << c.what;
        EXPECT_NEAR(*rate, c.expected, 0.001) << c.what;
    }
}

TEST(UsefulBitRate, DvbSIgnoresPilotsAndFrameLength) {
    const auto plain = dvb_rate::UsefulBitRate(
        Carrier(DeliverySystem::DvbS, Modulation::Qpsk, CodeRate::R5_6, 22'000'000));
    const auto dressed =
        dvb_rate::UsefulBitRate(Carrier(DeliverySystem::DvbS, Modulation::Qpsk, CodeRate::R5_6,
                                        22'000'000, true, FrameLength::Short));
    ASSERT_TRUE(plain && dressed);
    EXPECT_DOUBLE_EQ(*plain, *dressed);
    EXPECT_NEAR(*plain, 22e6 * 2 * 5 / 6 * 188 / 204, 1e-6);
}

// Kldpc of each rate, read off the LDPC tables, and the BCH parity: Kbch must be their difference.
struct BlockCase {
    FrameLength frame;
    CodeRate rate;
    std::uint32_t kldpc;
    std::uint32_t bchParity;  // t * 16 (normal, t = 12/10/8) or 12 * 14 (short)
};

const BlockCase kBlocks[] = {
    {FrameLength::Normal, CodeRate::R1_4, 16200, 192},
    {FrameLength::Normal, CodeRate::R1_3, 21600, 192},
    {FrameLength::Normal, CodeRate::R2_5, 25920, 192},
    {FrameLength::Normal, CodeRate::R1_2, 32400, 192},
    {FrameLength::Normal, CodeRate::R3_5, 38880, 192},
    {FrameLength::Normal, CodeRate::R2_3, 43200, 160},
    {FrameLength::Normal, CodeRate::R3_4, 48600, 192},
    {FrameLength::Normal, CodeRate::R4_5, 51840, 192},
    {FrameLength::Normal, CodeRate::R5_6, 54000, 160},
    {FrameLength::Normal, CodeRate::R8_9, 57600, 128},
    {FrameLength::Normal, CodeRate::R9_10, 58320, 128},
    {FrameLength::Short, CodeRate::R1_4, 3240, 168},
    {FrameLength::Short, CodeRate::R1_3, 5400, 168},
    {FrameLength::Short, CodeRate::R2_5, 6480, 168},
    {FrameLength::Short, CodeRate::R1_2, 7200, 168},
    {FrameLength::Short, CodeRate::R3_5, 9720, 168},
    {FrameLength::Short, CodeRate::R2_3, 10800, 168},
    {FrameLength::Short, CodeRate::R3_4, 11880, 168},
    {FrameLength::Short, CodeRate::R4_5, 12600, 168},
    {FrameLength::Short, CodeRate::R5_6, 13320, 168},
    {FrameLength::Short, CodeRate::R8_9, 14400, 168},
};

TEST(UsefulBitRate, KbchIsLdpcBlockLessBchParity) {
    for (const BlockCase& c : kBlocks) {
        const auto kbch = dvb_rate::Dvbs2Kbch(c.frame, c.rate);
        ASSERT_TRUE(kbch.has_value()) << static_cast<int>(c.rate);
        EXPECT_EQ(*kbch, c.kldpc - c.bchParity)
            << (c.frame == FrameLength::Normal ? "normal " : "short ") << static_cast<int>(c.rate);
    }
    EXPECT_EQ(dvb_rate::Dvbs2Kbch(FrameLength::Normal, CodeRate::R3_4), 48408u);
    EXPECT_EQ(dvb_rate::Dvbs2Kbch(FrameLength::Short, CodeRate::R1_2), 7032u);
    EXPECT_FALSE(dvb_rate::Dvbs2Kbch(FrameLength::Short, CodeRate::R9_10));
    EXPECT_FALSE(dvb_rate::Dvbs2Kbch(FrameLength::Normal, CodeRate::R7_8));
}

// PLFRAME lengths as quoted for the common MODCODs.
TEST(UsefulBitRate, PlFrameLengths) {
    struct Case {
        Modulation modulation;
        FrameLength frame;
        bool pilots;
        std::uint32_t symbols;
    };
    const Case cases[] = {
        {Modulation::Qpsk, FrameLength::Normal, false, 32490},
        {Modulation::Qpsk, FrameLength::Normal, true, 33282},
        {Modulation::Psk8, FrameLength::Normal, false, 21690},
        {Modulation::Psk8, FrameLength::Normal, true, 22194},
        {Modulation::Apsk16, FrameLength::Normal, false, 16290},
        {Modulation::Apsk16, FrameLength::Normal, true, 16686},
        {Modulation::Apsk32, FrameLength::Normal, false, 13050},
        {Modulation::Apsk32, FrameLength::Normal, true, 13338},
        {Modulation::Qpsk, FrameLength::Short, false, 8190},
        {Modulation::Qpsk, FrameLength::Short, true, 8370},
        {Modulation::Apsk32, FrameLength::Short, true, 3402},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(dvb_rate::Dvbs2PlFrameSymbols(c.modulation, CodeRate::R8_9, c.frame, c.pilots),
                  c.symbols)
            << static_cast<int>(c.modulation) << (c.pilots ? " pilots" : "");
    }
}

// Every DVB-S2 MODCOD at both frame lengths and both pilot settings against the rate worked from
// slot counts here.
TEST(UsefulBitRate, EveryDvbS2ModCodFromSlotCounts) {
    constexpr std::uint32_t kSymbolRate = 30'000'000;
    for (int modcod = 1; modcod <= 28; ++modcod) {
        const auto pair = dvb_rate::Dvbs2FromModCod(modcod);
        ASSERT_TRUE(pair.has_value()) << modcod;
        const std::uint32_t bitsPerSymbol = modcod <= 11   ? 2
                                            : modcod <= 17 ? 3
                                            : modcod <= 23 ? 4
                                                           : 5;
        for (const BlockCase& block : kBlocks) {
            if (block.rate != pair->second) continue;
            const std::uint32_t nldpc = block.frame == FrameLength::Normal ? 64800 : 16200;
            const std::uint32_t slots = nldpc / 90 / bitsPerSymbol;
            for (bool pilots : {false, true}) {
                const std::uint32_t pilotSymbols = pilots ? 36 * ((slots - 1) / 16) : 0;
                const double expected = double{kSymbolRate} * (block.kldpc - block.bchParity - 80) /
                                        (90 + 90 * slots + pilotSymbols);
                const auto rate = dvb_rate::UsefulBitRate(
                    Carrier(DeliverySystem::DvbS2, pair->first, pair->second, kSymbolRate, pilots,
                            block.frame));
                ASSERT_TRUE(rate.has_value()) << "MODCOD " << modcod;
                EXPECT_NEAR(*rate, expected, 1e-6) << "MODCOD " << modcod << " pilots " << pilots;
            }
        }
    }
}

TEST(UsefulBitRate, UndefinedCombinationsHaveNoRate) {
    const CarrierParameters undefined[] = {
        Carrier(DeliverySystem::DvbS, Modulation::Psk8, CodeRate::R3_4, 27'500'000),
        Carrier(DeliverySystem::DvbS, Modulation::Qpsk, CodeRate::R3_5, 27'500'000),
        Carrier(DeliverySystem::DvbS, Modulation::Qpsk, CodeRate::R9_10, 27'500'000),
        Carrier(DeliverySystem::DvbS2, Modulation::Qpsk, CodeRate::R7_8, 27'500'000),
        Carrier(DeliverySystem::DvbS2, Modulation::Psk8, CodeRate::R1_2, 27'500'000),
        Carrier(DeliverySystem::DvbS2, Modulation::Apsk16, CodeRate::R3_5, 27'500'000),
        Carrier(DeliverySystem::DvbS2, Modulation::Apsk32, CodeRate::R2_3, 27'500'000),
        Carrier(DeliverySystem::DvbS2, Modulation::Qpsk, CodeRate::R9_10, 27'500'000, false,
                FrameLength::Short),
    };
    for (const CarrierParameters& c : undefined) {
        EXPECT_FALSE(dvb_rate::UsefulBitRate(c).has_value())
            << static_cast<int>(c.system) << " " << static_cast<int>(c.modulation) << " "
            << static_cast<int>(c.rate);
    }
}

TEST(Dvbs2ModCod, NumbersFollowThePlsCodeTable) {
    struct Case {
        Modulation modulation;
        CodeRate rate;
        int modcod;
    };
    const Case cases[] = {
        {Modulation::Qpsk, CodeRate::R1_4, 1},     {Modulation::Qpsk, CodeRate::R1_2, 4},
        {Modulation::Qpsk, CodeRate::R3_4, 7},     {Modulation::Qpsk, CodeRate::R9_10, 11},
        {Modulation::Psk8, CodeRate::R3_5, 12},    {Modulation::Psk8, CodeRate::R2_3, 13},
        {Modulation::Psk8, CodeRate::R9_10, 17},   {Modulation::Apsk16, CodeRate::R2_3, 18},
        {Modulation::Apsk16, CodeRate::R9_10, 23}, {Modulation::Apsk32, CodeRate::R3_4, 24},
        {Modulation::Apsk32, CodeRate::R9_10, 28},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(dvb_rate::Dvbs2ModCod(c.modulation, c.rate), c.modcod);
        const auto back = dvb_rate::Dvbs2FromModCod(c.modcod);
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(back->first, c.modulation);
        EXPECT_EQ(back->second, c.rate);
    }
}

TEST(Dvbs2ModCod, RoundTripsAndRejectsOutsideOneToTwentyEight) {
    std::set<std::pair<int, int>> seen;
    for (int modcod = 1; modcod <= 28; ++modcod) {
        const auto pair = dvb_rate::Dvbs2FromModCod(modcod);
        ASSERT_TRUE(pair.has_value());
        EXPECT_EQ(dvb_rate::Dvbs2ModCod(pair->first, pair->second), modcod);
        EXPECT_TRUE(
            seen.emplace(static_cast<int>(pair->first), static_cast<int>(pair->second)).second);
    }
    EXPECT_FALSE(dvb_rate::Dvbs2FromModCod(0));
    EXPECT_FALSE(dvb_rate::Dvbs2FromModCod(29));
    EXPECT_FALSE(dvb_rate::Dvbs2ModCod(Modulation::Qpsk, CodeRate::R7_8));
    EXPECT_FALSE(dvb_rate::Dvbs2ModCod(Modulation::Apsk32, CodeRate::R2_3));
}

}  // namespace
