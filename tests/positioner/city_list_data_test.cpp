// The site list shipped with the program (data/CityList.txt) read through the readers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "positioner/pointing.h"
#include "positioner/program_folder_override.h"
#include "positioner/site_list.h"
#include "support/temp_folder.h"

namespace {

class CityListDataTest : public ::testing::Test {
protected:
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        std::istringstream in(ReadWholeFile(SiteListPath()));
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    CProgramFolderOverride m_programFolder{VLK_DATA_DIR};
};

TEST_F(CityListDataTest, EveryLineHoldsFourFieldsWithCoordinatesInRange) {
    const std::vector<std::string> lines = Lines();
    ASSERT_GE(lines.size(), 2000u);
    const std::regex coordinate(R"(-?\d{1,3}\.\d{4})");
    for (const std::string& line : lines) {
        SCOPED_TRACE(line);
        ASSERT_EQ(std::count(line.begin(), line.end(), '\t'), 3);
        const SiteLine fields = *SplitSiteLine(line);
        EXPECT_FALSE(fields.country.empty());
        EXPECT_FALSE(fields.city.empty());
        EXPECT_EQ(line.find('\r'), std::string::npos);
        const std::string latitude(fields.latitude), longitude(fields.longitude);
        ASSERT_TRUE(std::regex_match(latitude, coordinate));
        ASSERT_TRUE(std::regex_match(longitude, coordinate));
        EXPECT_LE(std::fabs(std::atof(latitude.c_str())), 90.0);
        EXPECT_LE(std::fabs(std::atof(longitude.c_str())), 180.0);
    }
}

TEST_F(CityListDataTest, EachCountryIsOneBlockAndEveryCountryIsListed) {
    std::vector<std::string> blocks;
    std::map<std::string, std::set<std::string>> citiesByCountry;
    for (const std::string& line : Lines()) {
        const SiteLine fields = *SplitSiteLine(line);
        if (blocks.empty() || blocks.back() != fields.country) blocks.emplace_back(fields.country);
        // A city named twice in a country could never be found by its first line.
        EXPECT_TRUE(citiesByCountry[std::string(fields.country)].emplace(fields.city).second)
            << line;
    }
    EXPECT_EQ(blocks.size(), citiesByCountry.size()) << "a country is split into blocks";
    // No country name begins an earlier one, so none is left out of the country list.
    EXPECT_EQ(ReadCountryNames(), blocks);
    EXPECT_GT(blocks.size(), 240u);
}

TEST_F(CityListDataTest, ACountryShowsItsLargestCityAndEveryCityCanBeFound) {
    const CountryCities germany = ReadCitiesOfCountry("Germany");
    ASSERT_FALSE(germany.cities.empty());
    EXPECT_EQ(germany.cities.front(), "Berlin");
    ASSERT_TRUE(germany.position.has_value());
    EXPECT_NEAR(std::atof(germany.position->latitude.c_str()), 52.52, 0.05);
    EXPECT_NEAR(std::atof(germany.position->longitude.c_str()), 13.40, 0.05);
    for (const std::string& city : germany.cities)
        EXPECT_TRUE(ReadCityPosition("Germany", city).position) << city;

    EXPECT_FALSE(ReadCitiesOfCountry("Niger").cities.empty());
    EXPECT_FALSE(ReadCitiesOfCountry("Nigeria").cities.empty());

    // A site from the list drives the dish: Munich to 19.2 east.
    const std::optional<SitePosition> munich = ReadCityPosition("Germany", "Munich").position;
    ASSERT_TRUE(munich.has_value());
    EXPECT_EQ(ComputeGotoAngle("0192", munich->longitude, munich->latitude).status,
              GotoAngleStatus::Ok);
}

TEST_F(CityListDataTest, TheBuildCopiesTheListIntoTheProgramFolder) {
    EXPECT_EQ(ReadWholeFile(VLK_PROGRAM_DIR "/CityList.txt"), ReadWholeFile(SiteListPath()));
}

}  // namespace
