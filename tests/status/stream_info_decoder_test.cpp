#include "status/stream_info_decoder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace stream_info;

TEST(StreamInfoDecoderTest, SimpleTablesWithTheirOtherValues) {
    EXPECT_EQ(StreamTypeText(0), "GENERIC_PACKETIZED_STREAM");
    EXPECT_EQ(StreamTypeText(1), "GENERIC_CONTINUOUS_STREAM");
    EXPECT_EQ(StreamTypeText(2), "GENERIC_ENCAPSULATED_STREAM");
    EXPECT_EQ(StreamTypeText(3), "TRANSPORT_STREAM");
    EXPECT_EQ(StreamTypeText(-7), "GENERIC_ENCAPSULATED_STREAM");
    EXPECT_EQ(ModulationText(0), "QPSK");
    EXPECT_EQ(ModulationText(3), "32APSK");
    EXPECT_EQ(ModulationText(4), "UNKNOWN");
    EXPECT_EQ(ModulationText(-1), "UNKNOWN");
    EXPECT_EQ(InputStreamText(0), "MULTIPLE_INPUT_STREAM");
    EXPECT_EQ(InputStreamText(5), "SINGLE_INPUT_STREAM");
    EXPECT_EQ(CodingModulationText(0), "ACM");
    EXPECT_EQ(CodingModulationText(2), "CCM");
    EXPECT_EQ(InputSynchroText(1), "ISSYI_ENABLED");
    EXPECT_EQ(InputSynchroText(2), "ISSYI_DISABLED");
    EXPECT_EQ(NullPacketDeletionText(1), "NPD_ENABLED");
    EXPECT_EQ(NullPacketDeletionText(0), "NPD_DISABLED");
    EXPECT_EQ(RollOffText(0), "0.35");
    EXPECT_EQ(RollOffText(1), "0.25");
    EXPECT_EQ(RollOffText(2), "0.20");
    EXPECT_EQ(RollOffText(3), "RESERVED");
    EXPECT_EQ(PilotsText(1), "Pilots On");
    EXPECT_EQ(PilotsText(0), "Pilots Off");
    EXPECT_EQ(FrameLengthText(1), "Short Frame");
    EXPECT_EQ(FrameLengthText(2), "Long Frame");
    EXPECT_EQ(SpectrumText(1), "IQ_SWAPPED");
    EXPECT_EQ(SpectrumText(0), "IQ_NORMAL");
    EXPECT_EQ(MatypeText(0xF2, 0x0A), "F2  0A");
    EXPECT_EQ(MatypeText(0x3, 0xbc), "03  BC");
}

TEST(StreamInfoDecoderTest, DvbS2AndDvbSCodeRates) {
    const char* dvbs2[] = {"NULL", "1/4",  "1/3", "2/5",  "1/2",  "3/5",    "2/3",  "3/4",
                           "4/5",  "5/6",  "8/9", "9/10", "3/5",  "2/3",    "3/4",  "5/6",
                           "8/9",  "9/10", "2/3", "3/4",  "4/5",  "5/6",    "8/9",  "9/10",
                           "3/4",  "4/5",  "5/6", "8/9",  "9/10", "UNKNOW", "NULL", "NULL"};
    for (int code = 0; code < 32; ++code) EXPECT_EQ(Dvbs2CodeRateText(code), dvbs2[code]) << code;
    EXPECT_EQ(Dvbs2CodeRateText(-1), "NULL");
    EXPECT_EQ(Dvbs2CodeRateText(200), "NULL");
    const char* dvbs[] = {"1/2", "2/3", "3/4", "4/5",     "5/6",
                          "6/7", "7/8", "8/9", "UNKNOWN", "NULL"};
    for (int rate = 0; rate < 10; ++rate) EXPECT_EQ(DvbsCodeRateText(rate), dvbs[rate]) << rate;
    EXPECT_EQ(DvbsCodeRateText(-1), "NULL");
}

struct ExtendedCase {
    int code;
    const char* standard;  // null: the box keeps its text
    const char* fec;
    const char* modulation;
};

class ExtendedModCodeTest : public ::testing::TestWithParam<ExtendedCase> {};

TEST_P(ExtendedModCodeTest, DecodesStandardFecAndModulation) {
    const auto decoded = DecodeExtendedModCode(GetParam().code);
    if (GetParam().standard == nullptr) {
        EXPECT_FALSE(decoded.standard.has_value());
    } else {
        EXPECT_EQ(decoded.standard, GetParam().standard);
    }
    EXPECT_EQ(decoded.fec, GetParam().fec);
    EXPECT_EQ(decoded.modulation, GetParam().modulation);
}

INSTANTIATE_TEST_SUITE_P(
    TableM, ExtendedModCodeTest,
    ::testing::Values(
        ExtendedCase{0, "DVB-S2", "DUMMY_PLF", "QPSK"}, ExtendedCase{11, "DVB-S2", "9/10", "QPSK"},
        ExtendedCase{12, "DVB-S2", "3/5", "8PSK"}, ExtendedCase{23, "DVB-S2", "9/10", "16APSK"},
        ExtendedCase{28, "DVB-S2", "9/10", "32APSK"},
        ExtendedCase{29, "DVB-S2", "UNKNOWN", "UNKNOWN"},
        ExtendedCase{31, "DVB-S2", "UNKNOWN", "UNKNOWN"}, ExtendedCase{32, "DVB-S1", "1/2", "QPSK"},
        ExtendedCase{35, "DVB-S1", "5/6", "QPSK"}, ExtendedCase{37, "DVB-S1", "7/8", "QPSK"},
        ExtendedCase{38, "DVB-S1", "UNKNOWN", "UNKNOWN"},
        ExtendedCase{62, "DVB-S1", "UNKNOWN", "UNKNOWN"},
        ExtendedCase{63, nullptr, "UNKNOWN", "UNKNOWN"},
        ExtendedCase{64, "DVB-S2X", "UNKNOWN", "UNKNOWN"},
        ExtendedCase{66, "DVB-S2X", "13/45", "QPSK"}, ExtendedCase{69, "DVB-S2X", "5/9 L", "8PSK"},
        ExtendedCase{74, "DVB-S2X", "1/2 L", "16APSK"},
        ExtendedCase{86, "DVB-S2X", "77/90", "16APSK"},
        ExtendedCase{88, "DVB-S2X", "R_58", "32APSK"},
        ExtendedCase{94, "DVB-S2X", "R/5E", "64APSK"},
        ExtendedCase{96, "DVB-S2X", "R/60", "64APSK"},
        ExtendedCase{98, "DVB-S2X", "R/62", "64APSK"}, ExtendedCase{99, "DVB-S2X", "5/6", "64APSK"},
        ExtendedCase{101, "DVB-S2X", "7/9", "128APSK"},
        ExtendedCase{107, "DVB-S2X", "3/4", "256APSK"},
        ExtendedCase{108, "DVB-S2X", "11/45", "QPSK"},
        ExtendedCase{117, "DVB-S2X", "32/45", "8PSK"},
        ExtendedCase{118, "DVB-S2X", "7/15", "16APSK"},
        ExtendedCase{124, "DVB-S2X", "32/45 S", "32APSK"},
        ExtendedCase{125, "DVB-S2X", "UNKNOWN", "8PSK"},
        ExtendedCase{126, "DVB-S2X", "UNKNOWN", "UNKNOWN"},
        ExtendedCase{128, "DVB-S2X", "UNKNOWN", "32APSK"},
        ExtendedCase{130, "DVB-S2X", "UNKNOWN", "1024APSK"},
        ExtendedCase{131, nullptr, "UNKNOWN", "UNKNOWN"},
        ExtendedCase{-5, nullptr, "UNKNOWN", "UNKNOWN"}),
    [](const ::testing::TestParamInfo<ExtendedCase>& item) {
        const int code = item.param.code;
        return code < 0 ? "ModCodeMinus" + std::to_string(-code) : "ModCode" + std::to_string(code);
    });

}  // namespace
