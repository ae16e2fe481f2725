// The required C/N of every code the carrier report names, against the published figures, and the
// code's one-line text.
#include "status/required_cn.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using namespace required_cn;

struct Code {
    std::int32_t standard;
    std::int32_t modCode;
    std::int32_t dvbsCodeRate;
    double required;  // dB
    std::string text;
};

// DVB-S2: EN 302 307-1 table 13 as published. DVB-S: Eb/N0 4.5, 5.0, 5.5, 6.0, 6.4 dB plus
// 10 log10(2 R 188/204), worked out by hand to 0.001 dB. The report's DVB-S code-rate index is 8
// ("unknown") on DVB-S2 carriers and its MODCOD 0 on DVB-S ones.
const std::vector<Code> kPublished = {
    {1, 1, 8, -2.35, "DVB-S2 QPSK 1/4"},     {1, 2, 8, -1.24, "DVB-S2 QPSK 1/3"},
    {1, 3, 8, -0.30, "DVB-S2 QPSK 2/5"},     {1, 4, 8, 1.00, "DVB-S2 QPSK 1/2"},
    {1, 5, 8, 2.23, "DVB-S2 QPSK 3/5"},      {1, 6, 8, 3.10, "DVB-S2 QPSK 2/3"},
    {1, 7, 8, 4.03, "DVB-S2 QPSK 3/4"},      {1, 8, 8, 4.68, "DVB-S2 QPSK 4/5"},
    {1, 9, 8, 5.18, "DVB-S2 QPSK 5/6"},      {1, 10, 8, 6.20, "DVB-S2 QPSK 8/9"},
    {1, 11, 8, 6.42, "DVB-S2 QPSK 9/10"},    {1, 12, 8, 5.50, "DVB-S2 8PSK 3/5"},
    {1, 13, 8, 6.62, "DVB-S2 8PSK 2/3"},     {1, 14, 8, 7.91, "DVB-S2 8PSK 3/4"},
    {1, 15, 8, 9.35, "DVB-S2 8PSK 5/6"},     {1, 16, 8, 10.69, "DVB-S2 8PSK 8/9"},
    {1, 17, 8, 10.98, "DVB-S2 8PSK 9/10"},   {1, 18, 8, 8.97, "DVB-S2 16APSK 2/3"},
    {1, 19, 8, 10.21, "DVB-S2 16APSK 3/4"},  {1, 20, 8, 11.03, "DVB-S2 16APSK 4/5"},
    {1, 21, 8, 11.61, "DVB-S2 16APSK 5/6"},  {1, 22, 8, 12.89, "DVB-S2 16APSK 8/9"},
    {1, 23, 8, 13.13, "DVB-S2 16APSK 9/10"}, {1, 24, 8, 12.73, "DVB-S2 32APSK 3/4"},
    {1, 25, 8, 13.64, "DVB-S2 32APSK 4/5"},  {1, 26, 8, 14.28, "DVB-S2 32APSK 5/6"},
    {1, 27, 8, 15.69, "DVB-S2 32APSK 8/9"},  {1, 28, 8, 16.05, "DVB-S2 32APSK 9/10"},
    {0, 0, 0, 4.145, "DVB-S 1/2"},           {0, 0, 1, 5.895, "DVB-S 2/3"},
    {0, 0, 2, 6.906, "DVB-S 3/4"},           {0, 0, 4, 7.864, "DVB-S 5/6"},
    {0, 0, 6, 8.476, "DVB-S 7/8"},
};

TEST(RequiredCnTest, EveryPublishedCodeWithItsText) {
    for (const Code& code : kPublished) {
        const auto required =
            RequiredCarrierToNoise(code.standard, code.modCode, code.dvbsCodeRate);
        ASSERT_TRUE(required) << code.text;
        EXPECT_NEAR(*required, code.required, 0.0005) << code.text;
        EXPECT_EQ(ModCodText(code.standard, code.modCode, code.dvbsCodeRate), code.text);
    }
}

TEST(RequiredCnTest, TheCarrierReportIsReadByItsFields) {
    MediaInfoRecord report;
    report.standard = 1;
    report.modCode = 13;
    report.dvbsCodeRate = 8;
    EXPECT_EQ(RequiredCarrierToNoise(report), 6.62);
    EXPECT_EQ(ModCodText(report), "DVB-S2 8PSK 2/3");
    report.standard = 0;
    report.modCode = 0;
    report.dvbsCodeRate = 2;
    EXPECT_NEAR(*RequiredCarrierToNoise(report), 6.906, 0.0005);
    EXPECT_EQ(ModCodText(report), "DVB-S 3/4");
}

TEST(RequiredCnTest, CodesWithoutAPublishedFigureHaveNone) {
    struct Unknown {
        std::int32_t standard, modCode, dvbsCodeRate;
        const char* text;  // nullptr: no text either
    };
    const Unknown cases[] = {
        {1, 0, 8, nullptr},      // DVB-S2 without a MODCOD (dummy frames)
        {1, 29, 8, nullptr},     // past the table
        {1, 66, 8, nullptr},     // an extended code of the x-model cards
        {1, -1, -1, nullptr},    // a Linux card that cannot tell
        {0, 0, 3, "DVB-S 4/5"},  // rates the satellite standard does not have
        {0, 0, 5, "DVB-S 6/7"}, {0, 0, 7, "DVB-S 8/9"}, {0, 0, 8, nullptr},  // "unknown"
        {0, 0, -1, nullptr},    {2, 13, 2, nullptr},                         // no such standard
    };
    for (const Unknown& c : cases) {
        EXPECT_EQ(RequiredCarrierToNoise(c.standard, c.modCode, c.dvbsCodeRate), std::nullopt)
            << c.standard << " " << c.modCode << " " << c.dvbsCodeRate;
        EXPECT_EQ(ModCodText(c.standard, c.modCode, c.dvbsCodeRate),
                  c.text ? std::optional<std::string>(c.text) : std::nullopt);
    }
}

}  // namespace
