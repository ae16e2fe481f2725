#pragma once
// Which files of the satellite folder (platform::SatelliteFolder) are satellite files, and in
// which order they are read. Every reader of the folder takes its files from here: the
// positioner's satellite list, ReadSatelliteFolder and, through it, the simulated sky, the real
// tuners' transponder hints and the Transponders page.
//
// The rule: a satellite file is an entry whose name ends in ".ini" in any letter case, as the
// pattern "*.ini" matches on the system the program was designed for ("Astra.INI" and ".ini"
// count, "Astra.ini.bak" does not), and that is not a folder (a link counts as what it points
// to). Names are ordered by their bytes ("A.INI", "B.ini", "a.ini"), so each reader sees the same
// files in the same order whatever order the file system lists them in; the Motor/Positioner
// page sorts its satellite list itself, so what it shows does not depend on this order.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The names of the first `count` satellite files of `folder` in the order above; empty when the
// folder cannot be listed. Only `count` names are held while the folder is listed.
std::vector<std::string> ListSatelliteFiles(const std::string& folder,
                                            std::size_t count = SIZE_MAX);
