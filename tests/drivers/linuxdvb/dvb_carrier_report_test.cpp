// The carrier report's eighteen fields from the frontend's parameters.
#include "drivers/linuxdvb/dvb_carrier_report.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "drivers/linuxdvb/dvb_api.h"

namespace linuxdvb {
namespace {

using Fields = std::array<std::int32_t, 18>;

DvbTunedParameters S2(std::uint32_t modulation, std::uint32_t fec) {
    DvbTunedParameters p;
    p.deliverySystem = SYS_DVBS2;
    p.frequencyKHz = 1'612'000;
    p.symbolRate = 27'500'000;
    p.modulation = modulation;
    p.innerFec = fec;
    p.rolloff = ROLLOFF_20;
    p.pilot = PILOT_ON;
    p.inversion = INVERSION_OFF;
    return p;
}

TEST(CarrierReport, DvbS2SingleStream) {
    const Fields expected = {1'612'000, 27'500'000, 1, 14, 8,    1, 3, 1, 1,
                             0,         0,          2, 0,  0xF2, 0, 0, 1, 0};
    EXPECT_EQ(BuildCarrierReport(S2(PSK_8, FEC_3_4)), expected);
}

TEST(CarrierReport, DvbS2WithStreamIdIsMultipleStreams) {
    DvbTunedParameters p = S2(APSK_16, FEC_9_10);
    p.streamId = 7;
    p.rolloff = ROLLOFF_35;
    p.inversion = INVERSION_ON;
    p.pilot = PILOT_OFF;
    // MATYPE-1: TS (11), MIS (0), CCM (1), ISSYI 0, NPD 0, roll-off 0.35 (00) = 0xD0.
    const Fields expected = {1'612'000, 27'500'000, 1, 23, 8,    2, 3, 0, 1,
                             0,         0,          0, 7,  0xD0, 7, 1, 0, 0};
    EXPECT_EQ(BuildCarrierReport(p), expected);
}

TEST(CarrierReport, DvbSReportsCodeRateAndNoMatype) {
    DvbTunedParameters p;
    p.deliverySystem = SYS_DVBS;
    p.frequencyKHz = 1'100'000;
    p.symbolRate = 22'000'000;
    p.innerFec = FEC_7_8;
    p.modulation = QAM_AUTO;  // whatever the cache holds: DVB-S is QPSK
    p.rolloff = ROLLOFF_AUTO;
    p.pilot = PILOT_ON;
    p.streamId = 3;  // meaningless for DVB-S
    const Fields expected = {1'100'000, 22'000'000, 0, 0, 6, 0, 3, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(BuildCarrierReport(p), expected);
}

TEST(CarrierReport, UnknownValuesAreMarked) {
    DvbTunedParameters p = S2(QAM_AUTO, FEC_AUTO);
    p.rolloff = ROLLOFF_AUTO;
    const Fields fields = BuildCarrierReport(p);
    EXPECT_EQ(fields[report::kModCode], 29);     // "UNKNOW"
    EXPECT_EQ(fields[report::kModulation], -1);  // "UNKNOWN"
    EXPECT_EQ(fields[report::kRollOff], 3);      // "RESERVED"
    EXPECT_EQ(fields[report::kMatype1], 0xF3);
    DvbTunedParameters s = p;
    s.deliverySystem = SYS_DVBS;
    EXPECT_EQ(BuildCarrierReport(s)[report::kDvbsCodeRate], 8);  // "UNKNOWN"
}

// Case names from the kernel's constants, so that a failing row names its modulation and rate.
std::string ModulationName(std::uint32_t modulation) {
    static const std::map<std::uint32_t, const char*> names = {{QPSK, "Qpsk"},
                                                               {PSK_8, "Psk8"},
                                                               {APSK_16, "Apsk16"},
                                                               {APSK_32, "Apsk32"},
                                                               {QAM_16, "Qam16"}};
    const auto it = names.find(modulation);
    return it != names.end() ? it->second : "Modulation" + std::to_string(modulation);
}

std::string FecName(std::uint32_t fec) {
    static const std::map<std::uint32_t, const char*> names = {
        {FEC_NONE, "None"}, {FEC_AUTO, "Auto"}, {FEC_1_2, "1_2"}, {FEC_2_5, "2_5"},
        {FEC_3_5, "3_5"},   {FEC_2_3, "2_3"},   {FEC_3_4, "3_4"}, {FEC_4_5, "4_5"},
        {FEC_5_6, "5_6"},   {FEC_6_7, "6_7"},   {FEC_7_8, "7_8"}, {FEC_8_9, "8_9"},
        {FEC_9_10, "9_10"}};
    const auto it = names.find(fec);
    return it != names.end() ? it->second : std::to_string(fec);
}

struct ModCodCase {
    std::uint32_t modulation;
    std::uint32_t fec;
    std::int32_t modCod;
};

class ModCodTable : public ::testing::TestWithParam<ModCodCase> {};

TEST_P(ModCodTable, FollowsEn302307) {
    EXPECT_EQ(Dvbs2ModCod(GetParam().modulation, GetParam().fec), GetParam().modCod);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ModCodTable,
    ::testing::Values(ModCodCase{QPSK, FEC_2_5, 3}, ModCodCase{QPSK, FEC_1_2, 4},
                      ModCodCase{QPSK, FEC_9_10, 11}, ModCodCase{PSK_8, FEC_3_5, 12},
                      ModCodCase{PSK_8, FEC_9_10, 17}, ModCodCase{APSK_16, FEC_2_3, 18},
                      ModCodCase{APSK_16, FEC_9_10, 23}, ModCodCase{APSK_32, FEC_3_4, 24},
                      ModCodCase{APSK_32, FEC_9_10, 28}, ModCodCase{PSK_8, FEC_1_2, 29},
                      ModCodCase{QPSK, FEC_7_8, 29}, ModCodCase{QAM_16, FEC_3_4, 29}),
    [](const ::testing::TestParamInfo<ModCodCase>& item) {
        return ModulationName(item.param.modulation) + "_" + FecName(item.param.fec);
    });

struct CodeRateCase {
    std::uint32_t fec;
    std::int32_t index;
};

class DvbsCodeRateTable : public ::testing::TestWithParam<CodeRateCase> {};

TEST_P(DvbsCodeRateTable, IndexesAsTheReportDoes) {
    DvbTunedParameters p;
    p.deliverySystem = SYS_DVBS;
    p.innerFec = GetParam().fec;
    EXPECT_EQ(BuildCarrierReport(p)[report::kDvbsCodeRate], GetParam().index);
}

INSTANTIATE_TEST_SUITE_P(Rates, DvbsCodeRateTable,
                         ::testing::Values(CodeRateCase{FEC_1_2, 0}, CodeRateCase{FEC_2_3, 1},
                                           CodeRateCase{FEC_3_4, 2}, CodeRateCase{FEC_4_5, 3},
                                           CodeRateCase{FEC_5_6, 4}, CodeRateCase{FEC_6_7, 5},
                                           CodeRateCase{FEC_7_8, 6}, CodeRateCase{FEC_8_9, 7},
                                           CodeRateCase{FEC_AUTO, 8}, CodeRateCase{FEC_NONE, 8}),
                         [](const ::testing::TestParamInfo<CodeRateCase>& item) {
                             return "Fec" + FecName(item.param.fec);
                         });

}  // namespace
}  // namespace linuxdvb
