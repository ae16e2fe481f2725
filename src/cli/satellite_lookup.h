#pragma once
// The satellite a command names, found in the satellite files: an orbital position ("19.2E",
// "5.0W"), a satellite's name or file name ("Astra-1N", "Astra-1N-19.2E.ini"), or both
// ("19.2E  Astra-1N", or the Transponders page's "19.2E  Astra 1KR, 1L, 1M, 1N"). A position
// stands for every file at it, merged as the Transponders page merges them.
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "data/satellite_file.h"

namespace cli {

// The satellite, or one line that says why none was found.
std::variant<SatelliteFile, std::string> FindSatellite(std::string_view name,
                                                       const std::vector<SatelliteFile>& files);

// "SATELLITE:FREQ:POL": the transponder of that satellite nearest FREQ MHz (within 1 MHz) with
// that polarisation.
std::variant<SatelliteTransponder, std::string> FindTransponder(
    std::string_view text, const std::vector<SatelliteFile>& files);

}  // namespace cli
