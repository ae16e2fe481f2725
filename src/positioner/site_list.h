#pragma once
// The site list "CityList.txt" in the data folder: one city per line, four TAB-separated
// fields (country, city, latitude, longitude), the lines of one country in one block.
// Every call reads the file afresh; nothing is kept between calls. Coordinates stay text: only
// the pointing calculation parses them.
//
// The file is read only when it is a regular file (or a link to one) of at most
// kSiteListMaxBytes; anything else, a pipe or a device among them, counts as missing. A line
// longer than kSiteListMaxLineBytes (its line end not counted) is passed over like a line
// without a TAB: no city line comes near that length, so such a line is damage or not a city
// list at all, and the lines around it stay usable.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct SitePosition {
    std::string latitude;
    std::string longitude;

    friend bool operator==(const SitePosition&, const SitePosition&) = default;
};

struct SiteLine {
    std::string_view country;
    std::string_view city;
    std::string_view latitude;
    std::string_view longitude;
};

struct CountryCities {
    std::vector<std::string> cities;
    std::optional<SitePosition> position;  // fields 3 and 4 of the block's first line
    std::vector<SitePosition> positions;   // fields 3 and 4 of each line, beside `cities`
};

// What ReadCityPosition found.
struct CityPositionResult {
    bool listRead = false;                 // false: the file could not be read
    std::optional<SitePosition> position;  // the city's coordinates, when the file names it

    friend bool operator==(const CityPositionResult&, const CityPositionResult&) = default;
};

// The text that tells the user of a site list that could not be read.
inline constexpr std::string_view kSiteListUnreadableText = "open file error!";

inline constexpr std::uint64_t kSiteListMaxBytes = std::uint64_t{64} << 20;
inline constexpr std::size_t kSiteListMaxLineBytes = 4096;

// The site list of g_strWorkDir (platform::CityListFile).
std::string SiteListPath();

// Cuts a line (without its line end) into its fields: country up to the first TAB, city up to
// the next TAB, latitude up to the next, longitude everything after the third TAB; fields past
// the last TAB are empty. Nothing for a line without a TAB (an empty line among them).
std::optional<SiteLine> SplitSiteLine(std::string_view line);

// Country names in file order. A name is left out when a name already listed begins with it,
// compared without regard to (ASCII) case: "Niger" after "Nigeria" is left out, "Nigeria" after
// "Niger" is not. Empty when the file cannot be read.
std::vector<std::string> ReadCountryNames();

// The cities of the first block of `country` (exact comparison) in file order, the coordinates
// of each of their lines, and apart those of the block's first line. Empty and without
// coordinates when the country is missing or the file cannot be read.
CountryCities ReadCitiesOfCountry(const std::string& country);

// The coordinates of `city` of `country` (exact comparison): the first line naming it sets them,
// later lines naming it replace them until a line of another country ends the search. Blocks of
// the country before the one that names the city are passed over. Without coordinates, and with
// `listRead` false, when the file cannot be read.
CityPositionResult ReadCityPosition(const std::string& country, const std::string& city);
