#pragma once
// Where each file of the program lives: one function per file, built on the folders of
// known_folders.h. Nothing else names a file's folder. A file of the data folder takes that
// folder and follows it after a '/', since the system carries it as g_strWorkDir and the card
// drivers ask DataFolder().
#include <string>
#include <string_view>

namespace platform {

// --- The settings folder (SettingsFolder()) ---

// The Tuner Setting page's transponder and codes: VLK-TScap.ini.
std::string TunerSettingsFile();
// The mode codes the Select Mode Code dialog keeps: VLK-IPdata.ini.
std::string ModeCodeSettingsFile();

// --- The user's configuration folder (ConfigFolder()) ---

// The Transponders page's satellite, player command and dish: Transponders.ini.
std::string TransponderPageSettingsFile();
// What the player started from the Transponders page writes: player.log.
std::string PlayerLogFile();
// The tuning-space container's store, shared by every run: TuningSpaces.ini.
std::string TuningSpaceStoreFile();
// The last scan of a satellite, by its satellite file's stem: Scans/<stem>.csv.
std::string ScanFile(std::string_view stem);
// What the real tuners learnt about locking each transponder: LinuxTunerLocks.ini.
std::string LockMemoryFile();
// The simulated card's own options (optional): SimulatedCard.ini.
std::string SimOptionsFile();

// --- The data folder (DataFolder()) ---

// The satellite files, one per satellite: Transponders/ (satellite_folder.h lists them).
std::string SatelliteFolder(std::string_view dataFolder);
// The site list of the positioner: CityList.txt.
std::string CityListFile(std::string_view dataFolder);
// The compiled help: Vantor-recorder.chm.
std::string HelpChmFile(std::string_view dataFolder);
// The same help as HTML pages: help/index.html.
std::string HelpHtmlIndexFile(std::string_view dataFolder);
// The names the real tuners are listed under, and their drivers' rules: LinuxTuners.ini.
std::string LinuxTunerNamesFile(std::string_view dataFolder);

// --- The "drive C" root (DriveCRoot()) ---

// The diagnostic log, "c:\Keplin.log" of the design.
std::string DiagnosticLogFile();
// The record file a recording goes to unless the user names another, "c:\Vantor-capture.ts".
std::string DefaultRecordFile();
// The simulated card's trace of what it was told: SimulatedCard.log.
std::string SimTraceFile();

}  // namespace platform
