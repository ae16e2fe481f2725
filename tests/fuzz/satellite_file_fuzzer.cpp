// A satellite file (Transponders/*.ini) through both of its readers: the satellite-file parser
// that the simulated card uses, and the positioner's satellite list, which reads [SATTYPE]
// through the private-profile reader. Both must see the same position and name. A parsed file
// written out again must read back as the same text (the writer is the satellite-file generator's).
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "core/process_globals.h"
#include "data/satellite_file.h"
#include "fuzz_support.h"
#include "positioner/satellite_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool folderMade = [] {
        g_strWorkDir = fuzz::ScratchFolder();
        return std::filesystem::create_directory(SatelliteFolderPath());
    }();
    FUZZ_CHECK(folderMade);
    const std::string path = SatelliteFolderPath() + "/Fuzz-19.2E.ini";
    fuzz::WriteFile(path, {data, size});

    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::optional<SatelliteFile> parsed = ParseSatelliteFileText(text);
    FUZZ_CHECK(ReadSatelliteFile(path) == parsed);

    const std::vector<std::string> entries = ReadSatelliteEntries();
    FUZZ_CHECK(entries.size() == 1);
    if (!parsed) return 0;

    // "<value of key 1>  <value of key 2>": key 1 is at most four digits once the parser took it.
    const std::string& entry = entries.front();
    const std::size_t gap = entry.find("  ");
    FUZZ_CHECK(gap != std::string::npos && gap <= 4);
    FUZZ_CHECK(std::stoi("0" + entry.substr(0, gap)) == parsed->orbitalTenthsEast);
    // The list's reader keeps 259 characters of a value.
    FUZZ_CHECK(entry.substr(gap + 2) == parsed->name.substr(0, 259));

    const std::string written = FormatSatelliteFileText(*parsed);
    const std::optional<SatelliteFile> reread = ParseSatelliteFileText(written);
    FUZZ_CHECK(reread.has_value());
    FUZZ_CHECK(FormatSatelliteFileText(*reread) == written);
    return 0;
}
