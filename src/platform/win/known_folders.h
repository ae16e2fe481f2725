#pragma once
// The folders the system works in. Paths are joined with '/'.
#include <string>
#include <string_view>

namespace platform {

// The running executable's folder, without a trailing separator.
std::string ProgramFolder();

// Where the program's data lie (Transponders/, CityList.txt, help/, LinuxTuners.ini, the simulated
// card's options): the program folder when it holds Transponders/ (a build tree), else
// <program folder>/../share/vlk-tscap when that exists (an installed program), else the program
// folder.
std::string DataFolder();

// Where the settings files (VLK-TScap.ini, VLK-IPdata.ini) live: the program folder when this user
// may write there and the program is not installed (its data not in share/), else the
// configuration folder.
std::string SettingsFolder();

// Where the Windows design's "drive C" root lies: the user's home folder.
std::string DriveCRoot();

// Maps a "c:\..." path of the design onto DriveCRoot() ("c:\Keplin.log" -> "<home>/Keplin.log");
// backslashes after the drive become '/'. Any other text is returned unchanged.
std::string MapDriveCPath(std::string_view windowsPath);

// The user's configuration folder for this program ($XDG_CONFIG_HOME or ~/.config, then
// "/vlk-tscap"); created on first use.
std::string ConfigFolder();

// Joins two path pieces with exactly one '/'.
std::string JoinPath(std::string_view folder, std::string_view name);

// Test redirections; an empty text restores the real folder.
void SetProgramFolderForTesting(std::string folder);
void SetDriveCRootForTesting(std::string folder);
void SetConfigFolderForTesting(std::string folder);

}  // namespace platform
