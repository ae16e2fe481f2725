#pragma once
// The satellite list: one entry per satellite file of the satellite folder of the data folder
// (g_strWorkDir), read afresh at every call.
#include <string>
#include <vector>

#include "data/satellite_folder_budget.h"

// The satellite folder of g_strWorkDir (platform::SatelliteFolder).
std::string SatelliteFolderPath();

// For each satellite file (satellite_folder.h says which, and in which order): the value of key
// "1" (orbital position in tenths of a degree east, "0192"), two spaces, the value of key "2" (the
// name) of section "SATTYPE". A missing key gives an empty part; entries are not deduplicated.
// Empty when the folder is missing or holds no such file. Within the files and bytes of `limits`
// (satellite_folder_budget.h): the listing ends at the first file that does not fit them.
std::vector<std::string> ReadSatelliteEntries(const SatelliteFolderLimits& limits = {});
