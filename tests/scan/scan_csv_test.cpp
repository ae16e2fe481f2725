// The scan's CSV: exact bytes, a round trip of awkward texts, and bad files named by their line.
#include "scan/scan_csv.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

ScanRow LockedRow() {
    ScanRow row;
    row.frequencyMHz = 12590;
    row.polarisation = 'V';
    row.symbolRateKsps = 27500;
    row.locked = true;
    row.lockMs = 350;
    row.carrierToNoiseDb = 11.0;
    row.marginDb = -0.5;
    row.deliverySystem = "DVB-S2";
    row.modCod = "DVB-S2 8PSK 3/5";
    row.inputStreamIds = {1, 2, 3};
    row.services = 4;
    return row;
}

TEST(ScanCsvTest, WritesTheHeaderAndOneCrlfLinePerTransponder) {
    ScanRow unlocked;
    unlocked.frequencyMHz = 10714.25;
    unlocked.polarisation = 'H';
    unlocked.symbolRateKsps = 22000;
    EXPECT_EQ(scan_csv::Format({LockedRow(), unlocked}),
              "Frequency (MHz),Polarisation,Symbol rate (kSps),Locked,Lock time (s),C/N (dB),"
              "Margin (dB),System,MODCOD,ISIs,Services\r\n"
              "12590,V,27500,yes,0.350,11.0,-0.5,DVB-S2,DVB-S2 8PSK 3/5,1 2 3,4\r\n"
              "10714.25,H,22000,no,,,,,,,\r\n");
}

TEST(ScanCsvTest, QuotesOnlyWhatNeedsIt) {
    ScanRow row = LockedRow();
    row.deliverySystem = "say \"hi\"";
    row.modCod = "a,b";
    row.inputStreamIds.clear();
    EXPECT_EQ(scan_csv::Format({row}).substr(scan_csv::kHeader.size() + 2),
              "12590,V,27500,yes,0.350,11.0,-0.5,\"say \"\"hi\"\"\",\"a,b\",,4\r\n");
}

// Every field read back as written, whatever the texts hold.
TEST(ScanCsvTest, RoundTripsAwkwardRows) {
    std::vector<ScanRow> rows;
    const char* texts[] = {"",         "comma, inside", "\"quoted\"", "line\r\nbreak",
                           "lf\nonly", "  spaced  ",    "Ümlaut ✓",   "trailing quote\"",
                           ",",        "\"\""};
    for (std::size_t i = 0; i < std::size(texts); ++i) {
        ScanRow row = LockedRow();
        row.frequencyMHz = 10700.0 + static_cast<double>(i) * 12.345;
        row.polarisation = "HVLR"[i % 4];
        row.deliverySystem = texts[i];
        row.modCod = texts[std::size(texts) - 1 - i];
        row.lockMs = static_cast<int>(i * 997);
        row.carrierToNoiseDb = -3.0 + 1.7 * static_cast<double>(i);
        row.marginDb = i % 3 ? std::optional<double>(0.1 * static_cast<double>(i)) : std::nullopt;
        row.inputStreamIds = i % 2 ? std::vector<int>{0, 255} : std::vector<int>{};
        row.services = i % 4 ? std::optional<int>(static_cast<int>(i)) : std::nullopt;
        row.locked = i % 5 != 0;
        rows.push_back(row);
    }
    ScanRow bare;
    bare.frequencyMHz = 12345.678;
    bare.symbolRateKsps = 1;
    bare.lockMs = 999'999'999;  // the longest lock time the reader takes
    rows.push_back(bare);
    // Values as a scan keeps them: tenths of dB.
    for (ScanRow& row : rows) {
        if (row.carrierToNoiseDb)
            row.carrierToNoiseDb = std::round(*row.carrierToNoiseDb * 10) / 10;
        if (row.marginDb) row.marginDb = std::round(*row.marginDb * 10) / 10;
    }
    std::vector<ScanRow> read;
    const auto error = scan_csv::Parse(scan_csv::Format(rows), read);
    ASSERT_FALSE(error) << error->line << ": " << error->text;
    EXPECT_EQ(read, rows);
    EXPECT_FALSE(scan_csv::Parse(scan_csv::Format({}), read));
    EXPECT_TRUE(read.empty());
}

struct BadFile {
    const char* name;
    std::string text;
    scan_csv::Error error;
};

const std::string kHeaderLine = std::string(scan_csv::kHeader) + "\r\n";
const std::string kGoodLine = "12590,V,27500,yes,0.350,11.0,-0.5,DVB-S2,x,1 2 3,4\r\n";

class ScanCsvBadFileTest : public ::testing::TestWithParam<BadFile> {};

TEST_P(ScanCsvBadFileTest, NamesTheFirstFaultyLine) {
    std::vector<ScanRow> rows{ScanRow{}};
    const auto error = scan_csv::Parse(GetParam().text, rows);
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, GetParam().error);
    EXPECT_TRUE(rows.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, ScanCsvBadFileTest,
    ::testing::Values(BadFile{"Empty", "", {1, "an empty file"}},
                      BadFile{"NoHeader", kGoodLine, {1, "not the header of a scan"}},
                      BadFile{"FieldMissing",
                              kHeaderLine + kGoodLine +
                                  "12590,V,27500,yes,0.350,11.0,-0.5,DVB-S2,x,1 2 3\r\n",
                              {3, "10 fields where a scan has 11"}},
                      // The quoted line break makes the second record two lines long.
                      BadFile{"AfterAQuotedLineBreak",
                              kHeaderLine + "1,H,1,no,,,,\"a\r\nb\",,,\r\n1,X,1,no,,,,,,,\r\n",
                              {4, "the polarisation \"X\" is not H, V, L or R"}},
                      BadFile{"UnclosedQuote",
                              kHeaderLine + "1,H,1,no,,,,\"open,,,\r\n",
                              {2, "a quote that is never closed"}},
                      BadFile{"TextAfterQuote",
                              kHeaderLine + "1,H,1,no,,,,\"a\"b,,,\r\n",
                              {2, "text after a closing quote"}},
                      BadFile{"Frequency",
                              kHeaderLine + "-5,H,1,no,,,,,,,\r\n",
                              {2, "the frequency \"-5\" is not a positive number"}},
                      BadFile{"SymbolRate",
                              kHeaderLine + "1,H,2.5,no,,,,,,,\r\n",
                              {2, "the symbol rate \"2.5\" is not a positive whole number"}},
                      BadFile{"Locked",
                              kHeaderLine + "1,H,1,maybe,,,,,,,\r\n",
                              {2, "\"Locked\" is \"maybe\", not yes or no"}},
                      BadFile{"LockTime",
                              kHeaderLine + "1,H,1,yes,0,35,,,,,,\r\n",
                              {2, "12 fields where a scan has 11"}},
                      BadFile{"DecimalComma",
                              kHeaderLine + "1,H,1,yes,\"0,35\",,,,,,\r\n",
                              {2, "the lock time \"0,35\" is not a number of seconds"}},
                      // Read as 1,000,000.000 s once rounded, which would not read back.
                      BadFile{"LockTimeRoundedToAMillionSeconds",
                              kHeaderLine + "1,H,1,yes,999999.9996,,,,,,\r\n",
                              {2, "the lock time \"999999.9996\" is not a number of seconds"}},
                      BadFile{"Decibels",
                              kHeaderLine + "1,H,1,yes,,12 dB,,,,,\r\n",
                              {2, "C/N or margin is not a number of dB"}},
                      BadFile{"DecibelsNotANumber",
                              kHeaderLine + "1,H,1,yes,,nan,,,,,\r\n",
                              {2, "C/N or margin is not a number of dB"}},
                      BadFile{"DecibelsInfinite",
                              kHeaderLine + "1,H,1,yes,,,-inf,,,,\r\n",
                              {2, "C/N or margin is not a number of dB"}},
                      BadFile{"StreamsDescending",
                              kHeaderLine + "1,H,1,yes,,,,,,3 1,\r\n",
                              {2, "the input streams \"3 1\" are not ascending numbers 0..255"}},
                      BadFile{"StreamTooBig",
                              kHeaderLine + "1,H,1,yes,,,,,,256,\r\n",
                              {2, "the input streams \"256\" are not ascending numbers 0..255"}},
                      BadFile{"Services",
                              kHeaderLine + "1,H,1,yes,,,,,,,-1\r\n",
                              {2, "the services \"-1\" are not a count"}}),
    [](const ::testing::TestParamInfo<BadFile>& param) { return param.param.name; });

}  // namespace
