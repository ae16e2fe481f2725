#pragma once
// The last scan of each satellite, kept in the user's configuration folder as
// Scans/<satellite file's name without .ini>.csv (platform::ScanFile). A save writes a temporary
// file beside it and renames it over the old one, so a failed save leaves the last good scan in
// place. Only a regular file (or a link to one) is read or replaced: a folder, pipe or device at
// the path is left as it is and named in the error.
#include <optional>
#include <string>
#include <vector>

#include "data/satellite_file.h"
#include "scan/scan_row.h"

namespace scan_store {

// The name of the satellite's file without its extension; for a satellite not read from a
// folder, its name and position ("Astra-19.2E").
std::string FileStem(const SatelliteFile& satellite);
std::string PathOf(const std::string& stem);

// False with the reason in `error` when the file cannot be written.
bool Save(const std::string& path, const std::vector<ScanRow>& rows, std::string& error);
// Nothing, and no error, when there is no such file; nothing with the reason when it cannot be
// read or is no scan.
std::optional<std::vector<ScanRow>> Load(const std::string& path, std::string& error);

}  // namespace scan_store
