#include "positioner/site_list.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "positioner/program_folder_override.h"
#include "support/hang_watchdog.h"
#include "support/temp_folder.h"

namespace {

using Names = std::vector<std::string>;

class SiteListTest : public ::testing::Test {
protected:
    void WriteList(const std::string& content) {
        WriteWholeFile(m_folder.File("CityList.txt"), content);
    }

    // `head`, then as many zero bytes as make the file `size` bytes long with `tail` at its end.
    // The zeros are a hole: the file takes no room on disk.
    void WriteSparseList(const std::string& head, std::uint64_t size, const std::string& tail) {
        const std::string path = m_folder.File("CityList.txt");
        WriteWholeFile(path, head);
        ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(size - tail.size())), 0);
        std::ofstream(path, std::ios::binary | std::ios::app) << tail;
        ASSERT_EQ(std::filesystem::file_size(path), size);
    }

    CTempFolder m_folder;
    CProgramFolderOverride m_programFolder{m_folder.Path()};
};

// What ReadCityPosition gives for a file it could read.
CityPositionResult ReadFrom(std::optional<SitePosition> position) {
    return {true, std::move(position)};
}

// What it gives for one it could not.
const CityPositionResult kUnreadable{false, std::nullopt};

struct SplitCase {
    std::string line;
    bool hasFields;
    std::string country, city, latitude, longitude;
};

TEST(SplitSiteLineTest, CutsFieldsAtTheFirstThreeTabs) {
    const SplitCase cases[] = {
        {"Germany\tBerlin\t52.5244\t13.4105", true, "Germany", "Berlin", "52.5244", "13.4105"},
        {"Germany\tBerlin\t52.5\t13.4\textra", true, "Germany", "Berlin", "52.5", "13.4\textra"},
        {"Germany\tBerlin\t52.5", true, "Germany", "Berlin", "52.5", ""},
        {"Germany\tBerlin", true, "Germany", "Berlin", "", ""},
        {"Germany\t", true, "Germany", "", "", ""},
        {"\tBerlin\t1\t2", true, "", "Berlin", "1", "2"},
        {"Germany\t\t\t", true, "Germany", "", "", ""},
        {"Germany Berlin 52.5 13.4", false, "", "", "", ""},
        {"", false, "", "", "", ""},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.line);
        const std::optional<SiteLine> fields = SplitSiteLine(c.line);
        ASSERT_EQ(fields.has_value(), c.hasFields);
        if (!fields) continue;
        EXPECT_EQ(fields->country, c.country);
        EXPECT_EQ(fields->city, c.city);
        EXPECT_EQ(fields->latitude, c.latitude);
        EXPECT_EQ(fields->longitude, c.longitude);
    }
}

TEST_F(SiteListTest, PathIsInTheProgramFolder) {
    EXPECT_EQ(SiteListPath(), m_folder.Path() + "/CityList.txt");
}

TEST_F(SiteListTest, CountryNamesSkipANameThatAnEarlierNameBeginsWithIgnoringCase) {
    WriteList(
        "Nigeria\tLagos\t6.4541\t3.3947\n"
        "Niger\tNiamey\t13.5137\t2.1098\n"
        "NIGE\tX\t1\t2\n"
        "Niger\tZinder\t13.8\t8.98\n"
        "Dominica\tRoseau\t15.3\t-61.4\n"
        "Dominican Republic\tSanto Domingo\t18.5\t-69.9\n"
        "dominica\tPortsmouth\t15.58\t-61.46\n");
    EXPECT_EQ(ReadCountryNames(), (Names{"Nigeria", "Dominica", "Dominican Republic"}));
}

TEST_F(SiteListTest, CountryNamesListEachBlockOnceInFileOrder) {
    // A split block and repeated lines give the name once; a line without a TAB adds nothing.
    WriteList(
        "Peru\tLima\t-12.04\t-77.03\n"
        "Peru\tArequipa\t-16.4\t-71.5\n"
        "\n"
        "just a comment\n"
        "Chile\tSantiago\t-33.4\t-70.6\n"
        "Peru\tCusco\t-13.5\t-71.9\n");
    EXPECT_EQ(ReadCountryNames(), (Names{"Peru", "Chile"}));
}

TEST_F(SiteListTest, CountryNamesWithCrLfLinesCarryNoCarriageReturn) {
    WriteList("Chile\tSantiago\t-33.4\t-70.6\r\nPeru\tLima\t-12.04\t-77.03\r\n");
    EXPECT_EQ(ReadCountryNames(), (Names{"Chile", "Peru"}));
}

TEST_F(SiteListTest, CitiesComeFromTheFirstBlockWithItsFirstLinesCoordinates) {
    WriteList(
        "Chile\tSantiago\t-33.4\t-70.6\n"
        "Peru\tLima\t-12.0464\t-77.0428\n"
        "\n"
        "Peru\tArequipa\t-16.4\t-71.5\n"
        "Chile\tValparaíso\t-33.0\t-71.6\n"
        "Peru\tCusco\t-13.5\t-71.9");  // the last line has no line end
    const CountryCities peru = ReadCitiesOfCountry("Peru");
    EXPECT_EQ(peru.cities, (Names{"Lima", "Arequipa"}));
    EXPECT_EQ(peru.position, (SitePosition{"-12.0464", "-77.0428"}));
    // Each city's own line, so that a city shown first in sorted order gets its coordinates.
    EXPECT_EQ(peru.positions,
              (std::vector<SitePosition>{{"-12.0464", "-77.0428"}, {"-16.4", "-71.5"}}));

    const CountryCities chile = ReadCitiesOfCountry("Chile");
    EXPECT_EQ(chile.cities, (Names{"Santiago"}));
    EXPECT_EQ(chile.position, (SitePosition{"-33.4", "-70.6"}));
}

TEST_F(SiteListTest, CitiesMatchTheCountryExactly) {
    WriteList(
        "Niger\tNiamey\t13.5\t2.1\nNigeria\tLagos\t6.45\t3.39\r\nNigeria\tKano\t12.0\t8.5\r\n");
    EXPECT_EQ(ReadCitiesOfCountry("Nigeria").cities, (Names{"Lagos", "Kano"}));
    EXPECT_EQ(ReadCitiesOfCountry("Nigeria").position, (SitePosition{"6.45", "3.39"}));
    EXPECT_EQ(ReadCitiesOfCountry("Niger").cities, (Names{"Niamey"}));
    const CountryCities lower = ReadCitiesOfCountry("nigeria");
    EXPECT_TRUE(lower.cities.empty());
    EXPECT_FALSE(lower.position.has_value());
    EXPECT_TRUE(ReadCitiesOfCountry("Nige").cities.empty());
}

TEST_F(SiteListTest, ShortLinesGiveEmptyFields) {
    WriteList("Tuvalu\tFunafuti\nTuvalu\tVaiaku\t-8.5\n");
    const CountryCities tuvalu = ReadCitiesOfCountry("Tuvalu");
    EXPECT_EQ(tuvalu.cities, (Names{"Funafuti", "Vaiaku"}));
    EXPECT_EQ(tuvalu.position, (SitePosition{"", ""}));
    EXPECT_EQ(ReadCityPosition("Tuvalu", "Vaiaku"), ReadFrom(SitePosition{"-8.5", ""}));
}

TEST_F(SiteListTest, CityPositionTakesTheLastMatchOfTheBlockWhereTheCityIsFound) {
    WriteList(
        "Peru\tLima\t1\t1\n"
        "Peru\tCusco\t2\t2\n"
        "Chile\tSantiago\t3\t3\n"
        "Peru\tArequipa\t4\t4\n"
        "Peru\tArequipa\t5\t5\r\n"
        "\n"
        "Peru\tTacna\t6\t6\n"
        "Chile\tArica\t7\t7\n"
        "Peru\tArequipa\t8\t8\n"
        "Peru\tLima\t9\t9\n");
    // The first block does not name Arequipa, so the search goes on into the second block and
    // ends with it: the third block's Arequipa is never reached.
    EXPECT_EQ(ReadCityPosition("Peru", "Arequipa"), ReadFrom(SitePosition{"5", "5"}));
    // Lima is found in the first block, whose end stops the search.
    EXPECT_EQ(ReadCityPosition("Peru", "Lima"), ReadFrom(SitePosition{"1", "1"}));
    EXPECT_EQ(ReadCityPosition("Peru", "lima"), ReadFrom(std::nullopt));
    EXPECT_EQ(ReadCityPosition("Bolivia", "Lima"), ReadFrom(std::nullopt));
}

TEST_F(SiteListTest, AMissingFileGivesEmptyListsAndACityPositionTellsItWasNotRead) {
    EXPECT_TRUE(ReadCountryNames().empty());
    const CountryCities cities = ReadCitiesOfCountry("Peru");
    EXPECT_TRUE(cities.cities.empty());
    EXPECT_FALSE(cities.position.has_value());
    EXPECT_EQ(ReadCityPosition("Peru", "Lima"), kUnreadable);
}

enum class ListFault { PipeWithoutWriter, LinkToDevZero, Folder, OverSizeLimit };

struct ListFaultCase {
    const char* name;
    ListFault fault;
};

void PrintTo(const ListFaultCase& test, std::ostream* out) {
    *out << test.name;
}

class SiteListFaultTest : public SiteListTest, public ::testing::WithParamInterface<ListFaultCase> {
protected:
    // Before the fix the pipe hung the reader in open() and /dev/zero grew a line without end.
    CHangWatchdog m_watchdog{GetParam().name, std::chrono::seconds(60)};
};

TEST_P(SiteListFaultTest, AFileThatIsNotARegularOneOrIsTooLargeCountsAsMissing) {
    const std::string path = m_folder.File("CityList.txt");
    switch (GetParam().fault) {
        case ListFault::PipeWithoutWriter:
            ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
            break;
        case ListFault::LinkToDevZero:
            std::filesystem::create_symlink("/dev/zero", path);
            break;
        case ListFault::Folder:
            std::filesystem::create_directory(path);
            break;
        case ListFault::OverSizeLimit:
            // Sound lines, and a byte too many.
            WriteSparseList("Peru\tLima\t1\t1\n", kSiteListMaxBytes + 1, "\nPeru\tCusco\t2\t2\n");
            break;
    }
    EXPECT_TRUE(ReadCountryNames().empty());
    const CountryCities cities = ReadCitiesOfCountry("Peru");
    EXPECT_TRUE(cities.cities.empty());
    EXPECT_FALSE(cities.position.has_value());
    EXPECT_EQ(ReadCityPosition("Peru", "Lima"), kUnreadable);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SiteListFaultTest,
    ::testing::Values(ListFaultCase{"PipeWithoutWriter", ListFault::PipeWithoutWriter},
                      ListFaultCase{"LinkToDevZero", ListFault::LinkToDevZero},
                      ListFaultCase{"Folder", ListFault::Folder},
                      ListFaultCase{"OverSizeLimit", ListFault::OverSizeLimit}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(SiteListTest, AFileOfExactlyTheSizeLimitIsReadToItsLastLine) {
    // The 64 MiB of zeros between the lines are one line far over the length limit: passed over.
    WriteSparseList("Peru\tLima\t1\t1\n", kSiteListMaxBytes, "\nChile\tSantiago\t3\t3\n");
    EXPECT_EQ(ReadCountryNames(), (Names{"Peru", "Chile"}));
    EXPECT_EQ(ReadCityPosition("Chile", "Santiago"), ReadFrom(SitePosition{"3", "3"}));
}

// A line of `country` and `city` exactly `length` bytes long (its line end not counted).
std::string LineOfLength(const std::string& country, const std::string& city, std::size_t length) {
    const std::string start = country + "\t" + city + "\t1\t";
    return start + std::string(length - start.size(), '2');
}

TEST_F(SiteListTest, ALineOverTheLengthLimitIsPassedOverLikeALineWithoutATab) {
    const std::size_t limit = kSiteListMaxLineBytes;
    const std::string lines[] = {
        LineOfLength("Peru", "A", limit) + "\n",
        // Had it been read, Chile would be listed and would end Peru's block.
        LineOfLength("Chile", "B", limit + 1) + "\n",
        LineOfLength("Peru", "C", limit) + "\r\n",      // the CR is part of the line end
        LineOfLength("Peru", "D", limit + 1) + "\r\n",  // over by one with a CR as well
        LineOfLength("Peru", "E", 64) + "\n",
        LineOfLength("Peru", "F", 100 * limit),  // the last line, without a line end
    };
    std::string text;
    for (const std::string& line : lines) text += line;
    WriteList(text);
    EXPECT_EQ(ReadCountryNames(), (Names{"Peru"}));
    EXPECT_EQ(ReadCitiesOfCountry("Peru").cities, (Names{"A", "C", "E"}));
    EXPECT_EQ(ReadCityPosition("Peru", "D"), ReadFrom(std::nullopt));
}

// The rule as it was first written: every listed name is compared with every new one.
Names CountryNamesByListComparison(const std::string& text) {
    const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    Names names;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        const std::optional<SiteLine> fields = SplitSiteLine(line);
        if (!fields) continue;
        const std::string_view country = fields->country;
        const bool covered = std::any_of(names.begin(), names.end(), [&](const std::string& name) {
            return name.size() >= country.size() &&
                   std::equal(country.begin(), country.end(), name.begin(),
                              [&](char a, char b) { return fold(a) == fold(b); });
        });
        if (!covered) names.emplace_back(country);
    }
    return names;
}

TEST_F(SiteListTest, CountryNamesOfALongListFollowTheRuleOfComparingWithEveryListedName) {
    // 20,000 lines of short names from few letters, so that most names begin with others; both
    // cases of ASCII letters and of a letter outside ASCII, which is never folded; the empty name.
    const std::vector<std::string> pieces = {"a", "A", "n", "N", "e", "\xC3\xA4", "\xC3\x84", " "};
    std::mt19937 random(4242);
    std::string text;
    for (int line = 0; line < 20000; ++line) {
        std::string country;
        for (std::size_t length = random() % 8; length > 0; --length)
            country += pieces[random() % pieces.size()];
        text += country + "\tCity" + std::to_string(line) + "\t1\t2\n";
    }
    WriteList(text);
    const Names expected = CountryNamesByListComparison(text);
    // Enough of both kinds to matter: names listed, names left out.
    ASSERT_GT(expected.size(), 2000u);
    ASSERT_LT(expected.size(), 15000u);
    EXPECT_EQ(ReadCountryNames(), expected);
}

TEST_F(SiteListTest, EditsTakeEffectAtTheNextCall) {
    WriteList("Peru\tLima\t1\t1\n");
    EXPECT_EQ(ReadCountryNames(), (Names{"Peru"}));
    WriteList("Chile\tSantiago\t3\t3\n");
    EXPECT_EQ(ReadCountryNames(), (Names{"Chile"}));
    EXPECT_EQ(ReadCityPosition("Chile", "Santiago"), ReadFrom(SitePosition{"3", "3"}));
}

}  // namespace
