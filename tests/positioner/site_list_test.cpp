#include "positioner/site_list.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "positioner/program_folder_override.h"
#include "support/message_box_recorder.h"
#include "support/temp_folder.h"

namespace {

using Names = std::vector<std::string>;

class SiteListTest : public ::testing::Test {
protected:
    void WriteList(const std::string& content) {
        WriteWholeFile(m_folder.File("CityList.txt"), content);
    }

    CTempFolder m_folder;
    CProgramFolderOverride m_programFolder{m_folder.Path()};
    CMessageBoxRecorder m_boxes;
};

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
    EXPECT_TRUE(m_boxes.Boxes().empty());
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

    const CountryCities chile = ReadCitiesOfCountry("Chile");
    EXPECT_EQ(chile.cities, (Names{"Santiago"}));
    EXPECT_EQ(chile.position, (SitePosition{"-33.4", "-70.6"}));
    EXPECT_TRUE(m_boxes.Boxes().empty());
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
    EXPECT_EQ(ReadCityPosition("Tuvalu", "Vaiaku", nullptr), (SitePosition{"-8.5", ""}));
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
    EXPECT_EQ(ReadCityPosition("Peru", "Arequipa", nullptr), (SitePosition{"5", "5"}));
    // Lima is found in the first block, whose end stops the search.
    EXPECT_EQ(ReadCityPosition("Peru", "Lima", nullptr), (SitePosition{"1", "1"}));
    EXPECT_EQ(ReadCityPosition("Peru", "lima", nullptr), std::nullopt);
    EXPECT_EQ(ReadCityPosition("Bolivia", "Lima", nullptr), std::nullopt);
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(SiteListTest, AMissingFileGivesEmptyListsSilentlyButACityPositionComplains) {
    EXPECT_TRUE(ReadCountryNames().empty());
    const CountryCities cities = ReadCitiesOfCountry("Peru");
    EXPECT_TRUE(cities.cities.empty());
    EXPECT_FALSE(cities.position.has_value());
    EXPECT_TRUE(m_boxes.Boxes().empty());

    const HWND page = reinterpret_cast<HWND>(std::uintptr_t{0x148});
    EXPECT_EQ(ReadCityPosition("Peru", "Lima", page), std::nullopt);
    EXPECT_EQ(m_boxes.Boxes(),
              (std::vector<MessageBoxRequest>{{page, "open file error!", "VLK-TScap", MB_OK}}));
}

TEST_F(SiteListTest, EditsTakeEffectAtTheNextCall) {
    WriteList("Peru\tLima\t1\t1\n");
    EXPECT_EQ(ReadCountryNames(), (Names{"Peru"}));
    WriteList("Chile\tSantiago\t3\t3\n");
    EXPECT_EQ(ReadCountryNames(), (Names{"Chile"}));
    EXPECT_EQ(ReadCityPosition("Chile", "Santiago", nullptr), (SitePosition{"3", "3"}));
}

}  // namespace
