// The site list CityList.txt through the calls of the Motor/Positioner page: the countries, the
// cities of a country with its first coordinates, a city's coordinates, and the dish angle that
// "Go" computes from them. A country that is listed has cities, and every city listed for a
// country has coordinates.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "core/process_globals.h"
#include "fuzz_support.h"
#include "positioner/pointing.h"
#include "positioner/site_list.h"

namespace {

// Each call reads the file anew; a few of each keep a run fast.
constexpr std::size_t kCountriesTried = 3;
constexpr std::size_t kCitiesTried = 3;

// Satellite entries as the page lists them: 19.2 E, 5.0 W and 0.0.
constexpr const char* kSatellites[] = {"0192  Astra", "3550  Eutelsat", "0000  Meridian"};

void CheckGotoAngle(const SitePosition& position) {
    for (const char* satellite : kSatellites) {
        const GotoAngleResult result =
            ComputeGotoAngle(satellite, position.longitude, position.latitude);
        if (result.status != GotoAngleStatus::Ok) continue;
        FUZZ_CHECK(result.message[0] == 0xE1 && result.message[1] == 0x31 &&
                   result.message[2] == 0x6E);
        FUZZ_CHECK(std::fabs(result.motorAngle) <= 65.0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    g_strWorkDir = fuzz::ScratchFolder();
    fuzz::WriteFile(SiteListPath(), {data, size});

    const std::vector<std::string> countries = ReadCountryNames();
    for (std::size_t i = 0; i < countries.size() && i < kCountriesTried; ++i) {
        const CountryCities cities = ReadCitiesOfCountry(countries[i]);
        FUZZ_CHECK(!cities.cities.empty() && cities.position.has_value());
        CheckGotoAngle(*cities.position);
        for (std::size_t j = 0; j < cities.cities.size() && j < kCitiesTried; ++j) {
            const auto position = ReadCityPosition(countries[i], cities.cities[j]).position;
            FUZZ_CHECK(position.has_value());
            CheckGotoAngle(*position);
        }
    }
    return 0;
}
