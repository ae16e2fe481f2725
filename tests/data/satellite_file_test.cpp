#include "data/satellite_file.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win/private_profile.h"
#include "support/debug_output_capture.h"
#include "support/temp_folder.h"

namespace {

using namespace std::string_literals;
using namespace std::string_view_literals;

void WriteText(const std::string& path, std::string_view text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    ASSERT_TRUE(out.good()) << path;
}

SatelliteTransponder Tp(double mhz, char pol, int ksps, std::string fec, std::string system = "",
                        std::string modulation = "") {
    return SatelliteTransponder{
        mhz, pol, ksps, std::move(fec), std::move(system), std::move(modulation)};
}

// --- ParseTransponderLine ---

struct LineCase {
    std::string_view line;
    std::optional<SatelliteTransponder> expected;
};

const LineCase kLineCases[] = {
    {"11362,H,22000,2/3,DVB-S2,8PSK", Tp(11362, 'H', 22000, "2/3", "DVB-S2", "8PSK")},
    {"10714.25,V,22000,AUTO,DVB-S", Tp(10714.25, 'V', 22000, "AUTO", "DVB-S")},
    {"12207.001,L,1000,AUTO", Tp(12207.001, 'L', 1000, "AUTO")},
    {"3874,r,1621,AUTO,,QPSK", Tp(3874, 'R', 1621, "AUTO", "", "QPSK")},  // lower case pol
    {" 11362 , h ,\t22000 , 2/3 , DVB-S2 , 8PSK \r",
     Tp(11362, 'H', 22000, "2/3", "DVB-S2", "8PSK")},
    {"11362,H,22000,2/3,DVB-S2,8PSK,ISI=1,extra", Tp(11362, 'H', 22000, "2/3", "DVB-S2", "8PSK")},
    {"11362,H,22000,2/3,,", Tp(11362, 'H', 22000, "2/3")},
    {"011362,H,022000,2/3", Tp(11362, 'H', 22000, "2/3")},  // leading zeros are still numbers
    // rejected
    {"", std::nullopt},
    {"11362,H,22000", std::nullopt},          // no FEC field
    {"11362,H,22000,", std::nullopt},         // empty FEC
    {"11362,H,22000, ,DVB-S", std::nullopt},  // blank FEC
    {"abc,H,22000,2/3", std::nullopt},
    {"0,H,22000,2/3", std::nullopt},
    {"0.000,H,22000,2/3", std::nullopt},
    {"-11362,H,22000,2/3", std::nullopt},
    {"+11362,H,22000,2/3", std::nullopt},
    {"1e4,H,22000,2/3", std::nullopt},
    {"inf,H,22000,2/3", std::nullopt},
    {"nan,H,22000,2/3", std::nullopt},
    {".5,H,22000,2/3", std::nullopt},
    {"11362.,H,22000,2/3", std::nullopt},
    {"11362.2.5,H,22000,2/3", std::nullopt},
    {"11 362,H,22000,2/3", std::nullopt},
    {"11362,X,22000,2/3", std::nullopt},
    {"11362,HV,22000,2/3", std::nullopt},
    {"11362,,22000,2/3", std::nullopt},
    {"11362,H,0,2/3", std::nullopt},
    {"11362,H,-22000,2/3", std::nullopt},
    {"11362,H,22000.5,2/3", std::nullopt},
    {"11362,H,2147483648,2/3", std::nullopt},  // beyond int
    {"11362;H;22000;2/3", std::nullopt},
};

TEST(ParseTransponderLineTest, AcceptsWellFormedLinesAndRejectsTheRest) {
    for (const LineCase& c : kLineCases) {
        EXPECT_EQ(ParseTransponderLine(c.line), c.expected) << '"' << c.line << '"';
    }
}

TEST(ParseTransponderLineTest, EveryPrefixOfALineIsRejectedOrReadAsWritten) {
    // Cut anywhere, a line is rejected until its FEC has begun, and read as written after.
    const std::string_view line = "10714.25,V,22000,3/4,DVB-S2,8PSK";
    const std::size_t firstReadable = line.find("3/4") + 1;
    for (std::size_t n = 0; n <= line.size(); ++n) {
        const std::string_view prefix = line.substr(0, n);
        const auto parsed = ParseTransponderLine(prefix);
        if (n < firstReadable) {
            EXPECT_FALSE(parsed) << prefix;
            continue;
        }
        ASSERT_TRUE(parsed) << prefix;
        std::string_view expected = prefix;
        while (expected.back() == ',') expected.remove_suffix(1);
        EXPECT_EQ(FormatTransponderLine(*parsed), expected);
    }
}

// --- FormatTransponderLine ---

struct FormatCase {
    SatelliteTransponder transponder;
    std::string_view expected;
};

TEST(FormatTransponderLineTest, WritesFieldsAndOnlyTheDecimalsNeeded) {
    const FormatCase cases[] = {
        {Tp(11362, 'H', 22000, "2/3", "DVB-S2", "8PSK"), "11362,H,22000,2/3,DVB-S2,8PSK"},
        {Tp(10714.25, 'V', 27500, "AUTO", "DVB-S"), "10714.25,V,27500,AUTO,DVB-S"},
        {Tp(11014.39, 'L', 1, "AUTO"), "11014.39,L,1,AUTO"},
        {Tp(12207.001, 'R', 45000, "9/10"), "12207.001,R,45000,9/10"},
        {Tp(3874.5, 'V', 1621, "AUTO", "", "QPSK"), "3874.5,V,1621,AUTO,,QPSK"},
    };
    for (const FormatCase& c : cases) EXPECT_EQ(FormatTransponderLine(c.transponder), c.expected);
}

TEST(FormatTransponderLineTest, EveryKilohertzValueSurvivesTheRoundTripExactly) {
    // Frequencies come in kHz; dividing by 1000 and printing must give back those digits.
    for (std::int64_t khz = 10'700'000; khz <= 10'712'000; ++khz) {
        const double mhz = static_cast<double>(khz) / 1000.0;
        std::string expected = std::to_string(khz / 1000);
        if (khz % 1000 != 0) {
            std::string fraction = std::to_string(1000 + khz % 1000).substr(1);
            while (fraction.back() == '0') fraction.pop_back();
            expected += "." + fraction;
        }
        const std::string line = FormatTransponderLine(Tp(mhz, 'H', 27500, "AUTO"));
        ASSERT_EQ(line, expected + ",H,27500,AUTO") << khz;
        const auto back = ParseTransponderLine(line);
        ASSERT_TRUE(back) << line;
        ASSERT_EQ(back->frequencyMHz, mhz) << line;
    }
}

TEST(FormatTransponderLineTest, EveryFrequencyTheReaderTakesIsWrittenInFull) {
    // The reader takes a frequency of any length; the writer's buffer once held 64 characters
    // and wrote "0" for anything longer, which the reader then refused.
    // The largest double has 309 digits.
    const std::string largest =
        "179769313486231570814527423731704356798070567525844996598917476803157260780028538760"
        "589558632766878171540458953514382464234321326889464182768467546703537516986049910576"
        "551282076245490090389328944075868508455133942304583236903222948165808559332123348274"
        "797826204144723168738177180919299881250404026184124858368";
    for (const std::string& digits : {std::string(61, '9'), "1" + std::string(70, '0'), largest}) {
        const std::string line = digits + ",H,27500,AUTO";
        const auto parsed = ParseTransponderLine(line);
        ASSERT_TRUE(parsed) << digits.size();
        const std::string written = FormatTransponderLine(*parsed);
        const auto back = ParseTransponderLine(written);
        ASSERT_TRUE(back) << written;
        EXPECT_EQ(back->frequencyMHz, parsed->frequencyMHz) << written;
    }
}

// --- ParseSatelliteFileText ---

const char kSample[] =
    "[SATTYPE]\n"
    "1=0192\n"
    "2=Astra\n"
    "\n"
    "[DVB]\n"
    "0=3\n"
    "1=10714.25,H,22000,5/6,DVB-S2,8PSK\n"
    "2=11362,H,22000,2/3,DVB-S2,8PSK\n"
    "3=12551.5,V,22000,5/6,DVB-S\n";

TEST(ParseSatelliteFileTextTest, ReadsPositionNameAndTransponders) {
    const auto satellite = ParseSatelliteFileText(kSample);
    ASSERT_TRUE(satellite);
    EXPECT_EQ(satellite->orbitalTenthsEast, 192);
    EXPECT_EQ(satellite->name, "Astra");
    const std::vector<SatelliteTransponder> expected = {
        Tp(10714.25, 'H', 22000, "5/6", "DVB-S2", "8PSK"),
        Tp(11362, 'H', 22000, "2/3", "DVB-S2", "8PSK"),
        Tp(12551.5, 'V', 22000, "5/6", "DVB-S"),
    };
    EXPECT_EQ(satellite->transponders, expected);
}

struct PositionCase {
    std::string_view value;
    std::optional<int> tenths;
};

TEST(ParseSatelliteFileTextTest, PositionIsUpToFourDigitsOfTenthsEast) {
    const PositionCase cases[] = {
        {"0192", 192},
        {"3550", 3550},
        {"3599", 3599},
        {"0000", 0},
        {"192", 192},
        {" 0192 ", 192},
        {"\"1800\"", 1800},  // quotes come off, as in every profile read
        {"3600", std::nullopt},
        {"9999", std::nullopt},
        {"01920", std::nullopt},
        {"-192", std::nullopt},
        {"+192", std::nullopt},
        {"19.2", std::nullopt},
        {"0192E", std::nullopt},
        {"", std::nullopt},
        {"abc", std::nullopt},
    };
    for (const PositionCase& c : cases) {
        const std::string text = "[SATTYPE]\n1=" + std::string(c.value) + "\n2=X\n";
        const auto satellite = ParseSatelliteFileText(text);
        if (c.tenths) {
            ASSERT_TRUE(satellite) << c.value;
            EXPECT_EQ(satellite->orbitalTenthsEast, *c.tenths) << c.value;
        } else {
            EXPECT_FALSE(satellite) << c.value;
        }
    }
}

TEST(ParseSatelliteFileTextTest, MissingKeysAndSections) {
    EXPECT_FALSE(ParseSatelliteFileText(""));
    EXPECT_FALSE(ParseSatelliteFileText("[SATTYPE]\n2=Astra\n[DVB]\n0=0\n"));
    EXPECT_FALSE(ParseSatelliteFileText("1=0192\n2=Astra\n"));           // no section at all
    EXPECT_FALSE(ParseSatelliteFileText("[DVB]\n1=0192\n[SATTYPE]\n"));  // key 1 of another section

    const auto noName = ParseSatelliteFileText("[SATTYPE]\n1=0130\n");
    ASSERT_TRUE(noName);
    EXPECT_EQ(noName->name, "");
    EXPECT_TRUE(noName->transponders.empty());

    const auto noCount = ParseSatelliteFileText("[SATTYPE]\n1=0130\n[DVB]\n1=11000,H,27500,3/4\n");
    ASSERT_TRUE(noCount);
    EXPECT_EQ(noCount->transponders.size(), 1u);
}

TEST(ParseSatelliteFileTextTest, FollowsTheProfileRules) {
    // Names in any case and padded, CR LF line ends, comments, header text after ']', quotes.
    const auto satellite = ParseSatelliteFileText(
        "; comment\r\n"
        "  [ sattype ] trailing words\r\n"
        "  1 = 0130 \r\n"
        "2 = 'Hot Bird' \r\n"
        ";1=0999\r\n"
        "[dVb]\r\n"
        "0=1\r\n"
        " 1 = 11034 , V , 27500 , 3/4 \r\n");
    ASSERT_TRUE(satellite);
    EXPECT_EQ(satellite->orbitalTenthsEast, 130);
    EXPECT_EQ(satellite->name, "Hot Bird");
    ASSERT_EQ(satellite->transponders.size(), 1u);
    EXPECT_EQ(satellite->transponders[0], Tp(11034, 'V', 27500, "3/4"));
}

TEST(ParseSatelliteFileTextTest, OnlyTheFirstSectionAndFirstKeyOfANameCount) {
    const auto satellite = ParseSatelliteFileText(
        "[SATTYPE]\n1=0192\n1=0130\n"
        "[DVB]\n0=1\n1=11000,H,27500,3/4\n1=12000,V,27500,3/4\n"
        "[SATTYPE]\n2=Second\n"
        "[DVB]\n0=2\n2=12500,V,27500,3/4\n");
    ASSERT_TRUE(satellite);
    EXPECT_EQ(satellite->orbitalTenthsEast, 192);
    EXPECT_EQ(satellite->name, "");
    ASSERT_EQ(satellite->transponders.size(), 1u);
    EXPECT_EQ(satellite->transponders[0].frequencyMHz, 11000.0);
}

struct CountCase {
    const char* what;
    std::string dvb;
    std::vector<double> frequencies;
};

TEST(ParseSatelliteFileTextTest, TransponderCountAndKeys) {
    const CountCase cases[] = {
        {"count limits the keys",
         "0=2\n1=11000,H,1,A\n2=11100,H,1,A\n3=11200,H,1,A\n",
         {11000, 11100}},
        {"count above the keys present", "0=5\n1=11000,H,1,A\n3=11200,H,1,A\n", {11000, 11200}},
        {"zero count", "0=0\n1=11000,H,1,A\n", {}},
        {"no count: up to the first gap",
         "1=11000,H,1,A\n2=11100,H,1,A\n4=11300,H,1,A\n",
         {11000, 11100}},
        {"unreadable count: up to the first gap",
         "0=many\n1=11000,H,1,A\n3=11200,H,1,A\n",
         {11000}},
        {"key order, not line order",
         "0=3\n3=11300,H,1,A\n1=11000,H,1,A\n2=11100,H,1,A\n",
         {11000, 11100, 11300}},
        {"bad lines skipped", "0=4\n1=11000,H,1,A\n2=garbage\n3=\n4=11300,H,1,A\n", {11000, 11300}},
        {"names that are not key numbers",
         "0=3\n01=11000,H,1,A\n+2=11100,H,1,A\n3=11200,H,1,A\n",
         {11200}},
        {"huge count does not loop", "0=2147483647\n1=11000,H,1,A\n", {11000}},
        {"count beyond int", "0=99999999999\n1=11000,H,1,A\n3=11200,H,1,A\n", {11000}},
        {"key beyond int", "0=2\n1=11000,H,1,A\n99999999999=11200,H,1,A\n", {11000}},
        {"lines without '=' ignored",
         "0=2\nnonsense\n1=11000,H,1,A\n[broken\n2=11100,H,1,A\n",
         {11000, 11100}},
    };
    for (const CountCase& c : cases) {
        const auto satellite = ParseSatelliteFileText("[SATTYPE]\n1=0010\n[DVB]\n" + c.dvb);
        ASSERT_TRUE(satellite) << c.what;
        std::vector<double> frequencies;
        for (const auto& transponder : satellite->transponders) {
            frequencies.push_back(transponder.frequencyMHz);
        }
        EXPECT_EQ(frequencies, c.frequencies) << c.what;
    }
}

// The positioner reads these files through GetPrivateProfileStringA; the sim card through
// ParseSatelliteFileText. Both must see the same values, tricky files included.
std::optional<SatelliteFile> ReadThroughProfile(const std::string& path) {
    std::array<char, 512> buffer{};
    const auto get = [&](const char* section, const std::string& key) {
        GetPrivateProfileStringA(section, key.c_str(), "\x01", buffer.data(),
                                 static_cast<DWORD>(buffer.size()), path.c_str());
        return std::string(buffer.data());
    };
    const std::string position = get("SATTYPE", "1");
    if (position == "\x01") return std::nullopt;
    SatelliteFile satellite;
    satellite.orbitalTenthsEast = std::stoi(position);
    satellite.name = get("SATTYPE", "2");
    if (satellite.name == "\x01") satellite.name.clear();
    const int count = std::stoi(get("DVB", "0"));
    for (int key = 1; key <= count; ++key) {
        if (auto transponder = ParseTransponderLine(get("DVB", std::to_string(key)))) {
            satellite.transponders.push_back(*transponder);
        }
    }
    return satellite;
}

TEST(ParseSatelliteFileTextTest, SeesWhatTheProfileReaderSees) {
    const std::string files[] = {
        kSample,
        "[SATTYPE]\r\n1=0130\r\n2=Hot Bird\r\n[DVB]\r\n0=2\r\n"s +
            "1=11034,V,27500,3/4\r\n2=11054,H,27500,5/6\r\n",
        "  [ SatType ]  x\n 1 = \"3550\" \n\t2\t=\t'Eutelsat 5 West A'\n"s +
            "[ dvb ]\n0 = 2\n2 = 11012,V,30000,AUTO\n1 = 10990,H,27500,3/4\n",
        "[SATTYPE]\n1=0192\n1=0235\n2=A\n[DVB]\n0=2\n1=11000,H,1,A\n"s +
            "[SATTYPE]\n2=B\n[DVB]\n2=11100,H,1,A\n",
        "[OTHER]\n1=0001\n[SATTYPE\n1=0002\n[SATTYPE]\n;1=0003\n1=0004\n"s +
            "[DVB]\n0=1\nx\n1=11000,h,1,a\n",
        "[SATTYPE]\n1=0192\n2=\"\"\n[DVB]\n0=3\n1=11000,H,1,A\n3=11200,H,1,A\n",
    };
    const CTempFolder folder;
    for (const std::string& text : files) {
        const std::string path = folder.File("satellite.ini");
        WriteText(path, text);
        const auto expected = ReadThroughProfile(path);
        ASSERT_TRUE(expected) << text;
        EXPECT_EQ(ParseSatelliteFileText(text), expected) << text;
        EXPECT_EQ(ReadSatelliteFile(path), expected) << text;
    }
}

// --- FormatSatelliteFileText ---

TEST(FormatSatelliteFileTextTest, WritesTheDocumentedLayoutAndReadsBack) {
    SatelliteFile satellite;
    satellite.orbitalTenthsEast = 30;
    satellite.name = "ABS-3A";
    satellite.transponders = {Tp(3874, 'V', 1621, "AUTO", "DVB-S2", "8PSK"),
                              Tp(3953.25, 'H', 3250, "AUTO", "DVB-S")};
    const std::string text = FormatSatelliteFileText(satellite);
    EXPECT_EQ(text,
              "[SATTYPE]\n"
              "1=0030\n"
              "2=ABS-3A\n"
              "\n"
              "[DVB]\n"
              "0=2\n"
              "1=3874,V,1621,AUTO,DVB-S2,8PSK\n"
              "2=3953.25,H,3250,AUTO,DVB-S\n");
    EXPECT_EQ(ParseSatelliteFileText(text), satellite);
}

TEST(FormatSatelliteFileTextTest, EmptySatelliteAndALineEndInTheName) {
    SatelliteFile satellite;
    satellite.orbitalTenthsEast = 3599;
    satellite.name = "Bad\nName\r";
    const std::string text = FormatSatelliteFileText(satellite);
    // The trailing blank the CR became is kept by quotes.
    EXPECT_EQ(text, "[SATTYPE]\n1=3599\n2=\"Bad Name \"\n\n[DVB]\n0=0\n");
    const auto back = ParseSatelliteFileText(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->name, "Bad Name ");
    EXPECT_TRUE(back->transponders.empty());
}

TEST(FormatSatelliteFileTextTest, NamesWithBlanksOrQuotesAroundThemReadBackAsTheyAre) {
    // Found by fuzzing: a name that a NUL byte cut after a CR was written with a trailing blank
    // that the reader drops, so the written file did not read back as the same satellite.
    const std::string_view found = "[sattype]\n 1 = 3550\n2=\"E\xde\r\x00\x00sat 5 West B\"\n"sv;
    const auto parsed = ParseSatelliteFileText(found);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->name, "E\xde\r");
    const std::string written = FormatSatelliteFileText(*parsed);
    const auto reread = ParseSatelliteFileText(written);
    ASSERT_TRUE(reread);
    EXPECT_EQ(reread->name, "E\xde ");
    EXPECT_EQ(FormatSatelliteFileText(*reread), written);

    for (const std::string name : {" Astra", "Astra\t", "\"Astra\"", "'Astra'", "\"", "''"}) {
        SatelliteFile satellite;
        satellite.name = name;
        const auto back = ParseSatelliteFileText(FormatSatelliteFileText(satellite));
        ASSERT_TRUE(back) << name;
        EXPECT_EQ(back->name, name);
    }
    // Names that need no quotes get none.
    SatelliteFile plain;
    plain.name = "Astra \"1L\"";
    EXPECT_NE(FormatSatelliteFileText(plain).find("\n2=Astra \"1L\"\n"), std::string::npos);
}

// --- Files and folders ---

TEST(ReadSatelliteFileTest, UnreadableFilesGiveNothing) {
    const CTempFolder folder;
    EXPECT_FALSE(ReadSatelliteFile(folder.File("missing.ini")));
    EXPECT_FALSE(ReadSatelliteFile(folder.Path()));  // a folder

    // Past the size limit the file is not read, however valid its start.
    const std::string big = folder.File("big.ini");
    WriteText(big, kSample);
    constexpr std::uintmax_t kLimit = std::uintmax_t{16} * 1024 * 1024;
    std::filesystem::resize_file(big, kLimit + 1);
    EXPECT_FALSE(ReadSatelliteFile(big));
    std::filesystem::resize_file(big, kLimit);
    const auto atLimit = ReadSatelliteFile(big);
    ASSERT_TRUE(atLimit);  // the NUL bytes after the text are one unreadable last line
    EXPECT_EQ(atLimit->transponders.size(), 3u);
}

TEST(ReadSatelliteFolderTest, ReadsEveryIniFileInNameOrder) {
    const CTempFolder folder;
    WriteText(folder.File("b.ini"), "[SATTYPE]\n1=0130\n2=Hotbird\n");
    WriteText(folder.File("A.INI"), "[SATTYPE]\n1=0192\n2=Astra\n");
    WriteText(folder.File("c.ini"), "[SATTYPE]\n2=No position\n");
    WriteText(folder.File("d.txt"), "[SATTYPE]\n1=0282\n2=Not an ini file\n");
    WriteText(folder.File("e.Ini"), "[SATTYPE]\n1=3550\n2=Eutelsat\n");
    std::filesystem::create_directory(folder.File("f.ini"));

    std::vector<std::string> names;
    std::vector<std::string> files;
    for (const SatelliteFile& satellite : ReadSatelliteFolder(folder.Path())) {
        names.push_back(satellite.name);
        files.push_back(satellite.fileName);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Astra", "Hotbird", "Eutelsat"}));
    EXPECT_EQ(files, (std::vector<std::string>{"A.INI", "b.ini", "e.Ini"}));
}

TEST(ReadSatelliteFolderTest, StopsAtTheFirstFileBeyondItsLimitsAndSaysSoOnce) {
    const CTempFolder folder;
    std::uintmax_t bytes = 0;
    // Written last to first, so that the listing's order is not the name order.
    for (const char* name : {"d", "c", "b", "a"}) {
        SatelliteFile satellite;
        satellite.name = name;
        for (int i = 0; i < 3; ++i)
            satellite.transponders.push_back(Tp(10700 + i, 'H', 27500, "3/4"));
        const std::string path = folder.File(std::string(name) + ".ini");
        WriteText(path, FormatSatelliteFileText(satellite));
        bytes = std::filesystem::file_size(path);  // the same for each
    }
    struct Case {
        const char* what;
        SatelliteFolderLimits limits;
        std::vector<std::string> read;  // names of the files read, in order
        std::size_t lastTransponders;   // what is kept of the last file read
        const char* stoppedAt;          // the file the notice names; none: no notice
    };
    const Case cases[] = {
        {"all within the defaults", {}, {"a", "b", "c", "d"}, 3, nullptr},
        {"two files", {2, 100, 1 << 20}, {"a", "b"}, 3, "c.ini"},
        {"seven transponders", {10, 7, 1 << 20}, {"a", "b", "c"}, 1, "c.ini"},
        {"six transponders: the third file brings none", {10, 6, 1 << 20}, {"a", "b"}, 3, "c.ini"},
        {"bytes one short of three files", {10, 100, 3 * bytes - 1}, {"a", "b"}, 3, "c.ini"},
        {"bytes of exactly four files", {4, 12, 4 * bytes}, {"a", "b", "c", "d"}, 3, nullptr},
    };
    for (const Case& c : cases) {
        auto debug = std::make_unique<CDebugOutputCapture>();
        const std::vector<SatelliteFile> satellites = ReadSatelliteFolder(folder.Path(), c.limits);
        const std::vector<std::string> notices = debug->Lines();
        debug.reset();
        std::vector<std::string> read;
        for (const SatelliteFile& satellite : satellites) read.push_back(satellite.name);
        EXPECT_EQ(read, c.read) << c.what;
        ASSERT_FALSE(satellites.empty()) << c.what;
        EXPECT_EQ(satellites.back().transponders.size(), c.lastTransponders) << c.what;
        if (c.stoppedAt == nullptr) {
            EXPECT_TRUE(notices.empty()) << c.what;
            continue;
        }
        ASSERT_EQ(notices.size(), 1u) << c.what;
        EXPECT_NE(notices[0].find("reading " + folder.Path() + " stopped at " + c.stoppedAt),
                  std::string::npos)
            << notices[0];
        EXPECT_NE(notices[0].find("Move the files you do not need out of the folder."),
                  std::string::npos)
            << notices[0];
    }
}

TEST(ReadSatelliteFolderTest, MissingFolderIsEmpty) {
    const CTempFolder folder;
    EXPECT_TRUE(ReadSatelliteFolder(folder.File("Transponders")).empty());
    EXPECT_TRUE(ReadSatelliteFolder(folder.Path()).empty());
}

}  // namespace
