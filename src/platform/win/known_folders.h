#pragma once
// The folders the system works in. Paths are joined with '/'.
#include <string>
#include <string_view>

namespace platform {

// The three folders every other folder and file is found from. The program sets them once at
// start from its environment (EnvironmentFolderRoots); tests set their own folders. An empty
// root is found from the environment when it is used.
struct FolderRoots {
    std::string programFolder;  // the running executable's folder
    std::string driveCRoot;     // the Windows design's "drive C": the user's home folder
    std::string configFolder;   // the user's configuration folder for this program
};

// What the environment gives: the folder of /proc/self/exe (the working folder without /proc);
// $HOME, else the account's home folder; $XDG_CONFIG_HOME (when absolute), else
// <drive C root>/.config, then "/vlk-tscap". Nothing is created.
FolderRoots EnvironmentFolderRoots();

// The roots last set; all empty until then.
FolderRoots CurrentFolderRoots();
void SetFolderRoots(FolderRoots roots);

// The running executable's folder, without a trailing separator.
std::string ProgramFolder();

// Where the program's data lie (Transponders/, CityList.txt, help/, LinuxTuners.ini): the program
// folder when it holds the satellite folder (a build tree), else
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

// The user's configuration folder for this program; created on first use.
std::string ConfigFolder();

// Joins two path pieces with exactly one '/'.
std::string JoinPath(std::string_view folder, std::string_view name);

}  // namespace platform
