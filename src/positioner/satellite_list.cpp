#include "positioner/satellite_list.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <string_view>

#include "core/ini_file.h"
#include "core/process_globals.h"

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// The pattern "*.ini": any name, the dot included, that ends in ".ini". Case matters, as it does
// for every name on this file system.
bool MatchesIniPattern(std::string_view name) {
    return name.ends_with(".ini");
}

bool IsFolder(const std::string& folder, const dirent& entry) {
    if (entry.d_type != DT_UNKNOWN) return entry.d_type == DT_DIR;
    struct stat info {};
    return ::stat((folder + "/" + entry.d_name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// What reading the file costs: its size when it is a regular file (or a link to one); the reader
// takes nothing else.
std::uintmax_t RegularFileSize(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return 0;
    return static_cast<std::uintmax_t>(info.st_size);
}

}  // namespace

std::string SatelliteFolderPath() {
    return g_strWorkDir + "/Transponders";
}

std::vector<std::string> ReadSatelliteEntries(const SatelliteFolderLimits& limits) {
    std::vector<std::string> entries;
    const std::string folder = SatelliteFolderPath();
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
    if (!dir) return entries;
    CSatelliteFolderBudget budget(folder, limits);
    // readdir's order is the listing order the list keeps; the page sorts its own copy.
    while (const dirent* entry = ::readdir(dir.get())) {
        if (!MatchesIniPattern(entry->d_name) || IsFolder(folder, *entry)) continue;
        const std::string path = folder + "/" + entry->d_name;
        if (!budget.TakeFile(entry->d_name, RegularFileSize(path))) break;
        const std::string position = ReadIniString(path, "SATTYPE", "1");
        const std::string name = ReadIniString(path, "SATTYPE", "2");
        entries.push_back(position + "  " + name);
    }
    return entries;
}
