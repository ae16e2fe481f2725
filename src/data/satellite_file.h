#pragma once
// Satellite files: one INI file per satellite in the satellite folder (platform::SatelliteFolder;
// which of its files count: satellite_folder.h).
//
//   [SATTYPE]
//   1=0192          orbital position in tenths of a degree EAST, four digits, 0000..3599;
//                   a western position is 3600 minus its tenths west (5.0W is 3550)
//   2=Astra         the satellite's name
//   [DVB]
//   0=2             number of transponders
//   1=11362,H,22000,2/3,DVB-S2,8PSK
//   2=10714.25,V,22000,AUTO,DVB-S
//
// A transponder line is "frequency MHz,polarisation,symbol rate kSps,FEC", optionally followed
// by ",delivery system" and ",modulation" (an empty field when only the modulation is known).
// Fields after the sixth are ignored so that later additions do not break older readers.
//
// The reader follows the private-profile rules of platform/win/private_profile.h, so it sees
// what the positioner sees through GetPrivateProfileStringA: section and key names matched
// without regard to case and with blanks around them ignored, values trimmed and one pair of
// matching enclosing quotes removed, ';' lines are comments, only the first section of a name
// and the first key of a name within it count.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/satellite_folder_budget.h"

struct SatelliteTransponder {
    double frequencyMHz = 0.0;  // exact as written, e.g. 10714.25
    char polarisation = 'H';    // 'H', 'V', 'L' or 'R'
    int symbolRateKsps = 0;
    std::string fec;             // "2/3", "AUTO", ... as written, never empty
    std::string deliverySystem;  // "DVB-S", "DVB-S2", ... or empty when not given
    std::string modulation;      // "QPSK", "8PSK", ... or empty when not given

    bool operator==(const SatelliteTransponder&) const = default;
};

struct SatelliteFile {
    int orbitalTenthsEast = 0;  // 0..3599
    std::string name;
    std::vector<SatelliteTransponder> transponders;
    // The file's name in its folder ("Astra-19.2E.ini") when ReadSatelliteFolder read it; empty
    // otherwise.
    std::string fileName;

    bool operator==(const SatelliteFile&) const = default;
};

// One [DVB] value. None when the frequency is not a positive decimal number, the polarisation
// not one of H, V, L, R (either case; stored upper case), the symbol rate not a positive whole
// number, or the FEC field is empty or missing. Fields are trimmed.
std::optional<SatelliteTransponder> ParseTransponderLine(std::string_view line);

// The inverse: the frequency with as few decimals as it needs (at most three, i.e. kHz).
std::string FormatTransponderLine(const SatelliteTransponder& transponder);

// The whole file as text. None when [SATTYPE] key 1 is missing or not a number of up to four
// digits in 0..3599. A missing name is empty. [DVB] key 0 limits the transponders to keys
// 1..n; without a readable key 0, keys 1, 2, ... are read up to the first missing one.
// A missing or unreadable transponder key is skipped, the others are kept in key order.
std::optional<SatelliteFile> ParseSatelliteFileText(std::string_view text);

// The text that ParseSatelliteFileText reads back as the same satellite; LF line ends. A line end
// or NUL in the name becomes a blank; a name with blanks or a pair of quotes around it is
// written in quotes.
std::string FormatSatelliteFileText(const SatelliteFile& satellite);

// None when the file cannot be read, is larger than 16 MiB, or its text is rejected above.
std::optional<SatelliteFile> ReadSatelliteFile(const std::string& path);

// Every readable satellite file of the folder, in the order of satellite_folder.h, each with its
// fileName; files that are rejected are left out. Empty when the folder cannot be listed. The first
// `limits.files` names are looked at; reading stops where `limits` are reached
// (satellite_folder_budget.h).
std::vector<SatelliteFile> ReadSatelliteFolder(const std::string& folder,
                                               const SatelliteFolderLimits& limits = {});

// The same, one file at a time: `take` has each file as it is read, so a reader that keeps
// something else of it never holds the whole folder.
void ForEachSatelliteFile(const std::string& folder,
                          const std::function<void(SatelliteFile&&)>& take,
                          const SatelliteFolderLimits& limits = {});
