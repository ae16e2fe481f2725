// The carrier report's eighteen fields from the frontend's parameters.
#include "drivers/linuxdvb/dvb_carrier_report.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

#include "drivers/linuxdvb/dvb_api.h"

namespace linuxdvb {
namespace {

using Fields = std::array<std::int32_t, 18>;

DvbReceivedCarrier Tuned(std::uint32_t frequencyKHz, std::uint32_t symbolRate) {
    DvbReceivedCarrier carrier;
    carrier.frequencyKHz = frequencyKHz;
    carrier.symbolRate = symbolRate;
    return carrier;
}

struct ReportCase {
    const char* name;
    DvbReceivedCarrier carrier;
    Fields expected;
};

class CarrierReport : public ::testing::TestWithParam<ReportCase> {};

TEST_P(CarrierReport, StatesWhatIsKnownAndMarksTheRestUnknown) {
    EXPECT_EQ(BuildCarrierReport(GetParam().carrier), GetParam().expected);
}

DvbReceivedCarrier With(DvbReceivedCarrier carrier, std::optional<std::uint32_t> system,
                        std::optional<std::uint32_t> modulation, std::optional<std::uint32_t> fec,
                        std::optional<std::uint32_t> rolloff, std::optional<std::uint32_t> pilot,
                        std::optional<std::uint32_t> inversion) {
    carrier.deliverySystem = system;
    carrier.modulation = modulation;
    carrier.innerFec = fec;
    carrier.rolloff = rolloff;
    carrier.pilot = pilot;
    carrier.inversion = inversion;
    return carrier;
}

// Fields: IF, symbol rate, standard, MODCOD, DVB-S rate, modulation, stream type, input stream,
// CCM, ISSYI, NPD, roll-off, ISI, MATYPE-1, MATYPE-2, spectrum, pilots, frame length.
INSTANTIATE_TEST_SUITE_P(
    Carriers, CarrierReport,
    ::testing::Values(
        // A driver that reads everything back: the baseband header stays unknown.
        ReportCase{
            "Dvbs2AllReadBack",
            With(Tuned(1'612'000, 27'500'000), SYS_DVBS2, PSK_8, FEC_3_4, ROLLOFF_20, PILOT_ON,
                 INVERSION_OFF),
            {1'612'000, 27'500'000, 1, 14, 8, 1, 3, -1, -1, -1, -1, 2, -1, -1, -1, 0, 1, -1}},
        // DVB-S is QPSK, roll-off 0.35, no pilots, one transport stream, MATYPE 0 0.
        ReportCase{"DvbsWithRate",
                   With(Tuned(1'100'000, 22'000'000), SYS_DVBS, std::nullopt, FEC_7_8, std::nullopt,
                        std::nullopt, INVERSION_ON),
                   {1'100'000, 22'000'000, 0, 0, 6, 0, 3, 1, -1, -1, -1, 0, 0, 0, 0, 1, 0, -1}},
        ReportCase{"DvbsRateUnknown",
                   With(Tuned(1'100'000, 22'000'000), SYS_DVBS, std::nullopt, std::nullopt,
                        std::nullopt, std::nullopt, std::nullopt),
                   {1'100'000, 22'000'000, 0, 0, 8, 0, 3, 1, -1, -1, -1, 0, 0, 0, 0, -1, 0, -1}},
        // A driver that tells nothing: only what was tuned and that the demux gives TS.
        ReportCase{
            "NothingReported",
            Tuned(1'612'000, 27'500'000),
            {1'612'000, 27'500'000, -1, 29, 8, -1, 3, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1}},
        // The modulation of a carrier whose standard is not told is still shown; no MODCOD.
        ReportCase{
            "StandardUnknownModulationKnown",
            With(Tuned(1'612'000, 27'500'000), std::nullopt, APSK_16, FEC_9_10, std::nullopt,
                 PILOT_OFF, std::nullopt),
            {1'612'000, 27'500'000, -1, 29, 8, 2, 3, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, -1}}),
    [](const ::testing::TestParamInfo<ReportCase>& item) { return item.param.name; });

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
    DvbReceivedCarrier carrier;
    carrier.deliverySystem = SYS_DVBS;
    carrier.innerFec = GetParam().fec;
    EXPECT_EQ(BuildCarrierReport(carrier)[report::kDvbsCodeRate], GetParam().index);
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
