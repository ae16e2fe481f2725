#include "positioner/satellite_list.h"

#include <sys/stat.h>

#include <cstdint>

#include "core/ini_file.h"
#include "core/process_globals.h"
#include "data/satellite_folder.h"
#include "platform/win/file_locations.h"

namespace {

// What reading the file costs: its size when it is a regular file (or a link to one); the reader
// takes nothing else.
std::uintmax_t RegularFileSize(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return 0;
    return static_cast<std::uintmax_t>(info.st_size);
}

}  // namespace

std::string SatelliteFolderPath() {
    return platform::SatelliteFolder(g_strWorkDir);
}

std::vector<std::string> ReadSatelliteEntries(const SatelliteFolderLimits& limits) {
    std::vector<std::string> entries;
    const std::string folder = SatelliteFolderPath();
    CSatelliteFolderBudget budget(folder, limits);
    for (const std::string& name : ListSatelliteFiles(folder, budget.NamesToList())) {
        const std::string path = folder + "/" + name;
        if (!budget.TakeFile(name, RegularFileSize(path))) break;
        entries.push_back(ReadIniString(path, "SATTYPE", "1") + "  " +
                          ReadIniString(path, "SATTYPE", "2"));
    }
    return entries;
}
