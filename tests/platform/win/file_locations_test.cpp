// Every file's place, as literal paths under three roots: a change of any place shows here.
#include "platform/win/file_locations.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "platform/win/known_folders.h"
#include "support/temp_folder.h"

namespace {

TEST(FileLocationsTest, EachFileLivesInItsFolder) {
    const CTempFolder folder;
    std::filesystem::create_directory(folder.File("bin"));  // writable, no data beside it
    platform::FolderRoots roots;
    roots.programFolder = folder.File("bin");
    roots.driveCRoot = "/home/user";
    roots.configFolder = folder.File("config");
    platform::SetFolderRoots(roots);
    const std::string program = roots.programFolder + "/";
    const std::string config = roots.configFolder + "/";

    const struct {
        std::function<std::string()> path;
        std::string expected;
    } cases[] = {
        {platform::TunerSettingsFile, program + "VLK-TScap.ini"},
        {platform::ModeCodeSettingsFile, program + "VLK-IPdata.ini"},
        {platform::TransponderPageSettingsFile, config + "Transponders.ini"},
        {platform::PlayerLogFile, config + "player.log"},
        {platform::TuningSpaceStoreFile, config + "TuningSpaces.ini"},
        {[] { return platform::ScanFile("Astra-19.2E"); }, config + "Scans/Astra-19.2E.csv"},
        {platform::LockMemoryFile, config + "LinuxTunerLocks.ini"},
        {platform::SimOptionsFile, config + "SimulatedCard.ini"},
        {[] { return platform::SatelliteFolder("/opt/data"); }, "/opt/data/Transponders"},
        {[] { return platform::CityListFile("/opt/data"); }, "/opt/data/CityList.txt"},
        {[] { return platform::HelpChmFile("/opt/data"); }, "/opt/data/Vantor-recorder.chm"},
        {[] { return platform::HelpHtmlIndexFile("/opt/data"); }, "/opt/data/help/index.html"},
        {[] { return platform::LinuxTunerNamesFile("/opt/data"); }, "/opt/data/LinuxTuners.ini"},
        // As the design joins the data folder: before the start sets it, "" names the root.
        {[] { return platform::CityListFile(""); }, "/CityList.txt"},
        {platform::DiagnosticLogFile, "/home/user/Keplin.log"},
        {platform::DefaultRecordFile, "/home/user/Vantor-capture.ts"},
        {platform::SimTraceFile, "/home/user/SimulatedCard.log"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.path(), c.expected);
    platform::SetFolderRoots({});
}

}  // namespace
