#pragma once
// The satellite files at one orbital position taken together, as a dish owner thinks of them:
// 19.2E is one place in the sky whether its transponders are listed in one file or in one file
// per spacecraft ("Astra-1KR", "Astra-1L", ...).
#include <string>
#include <vector>

#include "data/satellite_file.h"

struct OrbitalPosition {
    // The files merged: their position, MergedSatelliteName of their names, every transponder
    // once in frequency order; fileName is the file's when there is one file, else empty.
    SatelliteFile satellite;
    // For each transponder of `satellite`, the name of the file it was first listed in.
    std::vector<std::string> transponderFiles;
};

// One entry per orbital position, in the order each position's first file comes in `files`.
// A transponder that an earlier file of the position lists already (the same polarisation and a
// frequency within 1 MHz, as two files may round it differently) is left out.
std::vector<OrbitalPosition> GroupByOrbitalPosition(const std::vector<SatelliteFile>& files);

// The names of the files at one position, shortened where they share their first word:
// {"Astra", "Astra-1KR", "Astra-1L"} gives "Astra 1KR, 1L"; names without a common first word
// are listed whole ("Hot Bird 13B, Eutelsat 13C" stays as it is). Repeated names count once.
std::string MergedSatelliteName(const std::vector<std::string>& names);
