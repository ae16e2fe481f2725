#pragma once
// The satellite list: one entry per satellite file "*.ini" in the folder "Transponders" of the
// data folder (g_strWorkDir), read afresh at every call.
#include <string>
#include <vector>

#include "data/satellite_folder_budget.h"

// g_strWorkDir + "/Transponders".
std::string SatelliteFolderPath();

// For each file (not folder) whose name ends in ".ini" (case-sensitive, as the pattern "*.ini"
// reads on this file system), in the order the folder listing returns them: the value of key "1"
// (orbital position in tenths of a degree east, "0192"), two spaces, the value of key "2" (the
// name) of section "SATTYPE". A missing key gives an empty part; entries are not deduplicated.
// Empty when the folder is missing or holds no such file. Within the files and bytes of `limits`
// (satellite_folder_budget.h): the listing ends at the first file that does not fit them.
std::vector<std::string> ReadSatelliteEntries(const SatelliteFolderLimits& limits = {});
