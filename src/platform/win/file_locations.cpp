#include "platform/win/file_locations.h"

#include "platform/win/known_folders.h"

namespace platform {

namespace {

// As the design builds them from g_strWorkDir: the folder, '/', the name.
std::string InDataFolder(std::string_view dataFolder, std::string_view name) {
    std::string path(dataFolder);
    path += '/';
    path += name;
    return path;
}

}  // namespace

std::string TunerSettingsFile() {
    return JoinPath(SettingsFolder(), "VLK-TScap.ini");
}

std::string ModeCodeSettingsFile() {
    return JoinPath(SettingsFolder(), "VLK-IPdata.ini");
}

std::string TransponderPageSettingsFile() {
    return JoinPath(ConfigFolder(), "Transponders.ini");
}

std::string PlayerLogFile() {
    return JoinPath(ConfigFolder(), "player.log");
}

std::string TuningSpaceStoreFile() {
    return JoinPath(ConfigFolder(), "TuningSpaces.ini");
}

std::string ScanFile(std::string_view stem) {
    std::string name(stem);
    name += ".csv";
    return JoinPath(JoinPath(ConfigFolder(), "Scans"), name);
}

std::string LockMemoryFile() {
    return JoinPath(ConfigFolder(), "LinuxTunerLocks.ini");
}

std::string SimOptionsFile() {
    return JoinPath(ConfigFolder(), "SimulatedCard.ini");
}

std::string SatelliteFolder(std::string_view dataFolder) {
    return InDataFolder(dataFolder, "Transponders");
}

std::string CityListFile(std::string_view dataFolder) {
    return InDataFolder(dataFolder, "CityList.txt");
}

std::string HelpChmFile(std::string_view dataFolder) {
    return InDataFolder(dataFolder, "Vantor-recorder.chm");
}

std::string HelpHtmlIndexFile(std::string_view dataFolder) {
    return InDataFolder(dataFolder, "help/index.html");
}

std::string LinuxTunerNamesFile(std::string_view dataFolder) {
    return InDataFolder(dataFolder, "LinuxTuners.ini");
}

std::string DiagnosticLogFile() {
    return MapDriveCPath("c:\\Keplin.log");
}

std::string DefaultRecordFile() {
    return MapDriveCPath("c:\\Vantor-capture.ts");
}

std::string SimTraceFile() {
    return JoinPath(DriveCRoot(), "SimulatedCard.log");
}

}  // namespace platform
