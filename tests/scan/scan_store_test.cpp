// Where the last scan of a satellite is kept, and what a failed save or a bad file leaves.
#include "scan/scan_store.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/folder_roots.h"
#include "support/temp_folder.h"

namespace {

class ScanStoreTest : public ::testing::Test {
protected:
    ScanStoreTest() { test_roots::SetConfigFolder(m_config.Path()); }
    ~ScanStoreTest() override { test_roots::SetConfigFolder({}); }

    CTempFolder m_config;
    CTempFolder m_satellites;
};

SatelliteFile Satellite(const char* name, int tenthsEast) {
    return SatelliteFile{
        tenthsEast, name, {SatelliteTransponder{11362, 'H', 22000, "2/3", "", ""}}, ""};
}

TEST_F(ScanStoreTest, TheStemIsTheNameOfTheFileThatHoldsTheSatellite) {
    WriteWholeFile(m_satellites.File("my own.INI"),
                   FormatSatelliteFileText(Satellite("Astra 1L", 192)));
    const std::vector<SatelliteFile> read = ReadSatelliteFolder(m_satellites.Path());
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(scan_store::FileStem(read[0]), "my own");
    // A satellite not read from a folder is named by its name and position.
    EXPECT_EQ(scan_store::FileStem(Satellite("Thor/Intelsat", 3592)), "Thor_Intelsat-0.8W");
    EXPECT_EQ(scan_store::FileStem(Satellite("Hot Bird", 130)), "Hot Bird-13.0E");
    EXPECT_EQ(scan_store::PathOf("my own"), m_config.Path() + "/Scans/my own.csv");
}

TEST_F(ScanStoreTest, ASavedScanLoadsAgainAndReplacesTheLastOne) {
    const std::string path = scan_store::PathOf("Astra-1L-19.2E");
    std::string error;
    EXPECT_FALSE(scan_store::Load(path, error));
    EXPECT_EQ(error, "") << "no scan yet is no fault";

    ScanRow row;
    row.frequencyMHz = 10714.25;
    row.symbolRateKsps = 22000;
    ASSERT_TRUE(scan_store::Save(path, {row}, error)) << error;
    row.locked = true;
    row.services = 3;
    ASSERT_TRUE(scan_store::Save(path, {row, row}, error)) << error;
    const auto loaded = scan_store::Load(path, error);
    ASSERT_TRUE(loaded) << error;
    EXPECT_EQ(*loaded, (std::vector<ScanRow>{row, row}));
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_config.File("Scans")))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"Astra-1L-19.2E.csv"})
        << "the temporary file is gone";
}

TEST_F(ScanStoreTest, ALinkIsSavedThroughAndWhatIsNoFileStaysWhileTheSaveSaysWhy) {
    const std::string path = scan_store::PathOf("kept");
    std::string error;
    ScanRow row;
    row.frequencyMHz = 10714.25;
    row.symbolRateKsps = 1;
    ASSERT_TRUE(scan_store::Save(path, {row}, error));
    // A link that leads to the last scan keeps leading to it, saved anew.
    const std::string link = scan_store::PathOf("linked");
    std::filesystem::create_symlink(path, link);
    ASSERT_TRUE(scan_store::Save(link, {row, row}, error)) << error;
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(*scan_store::Load(path, error), (std::vector<ScanRow>{row, row}));

    // Something that is no file stands at the path: it stays, and the error names it.
    const std::string folder = scan_store::PathOf("folder");
    std::filesystem::create_directory(folder);
    EXPECT_FALSE(scan_store::Save(folder, {row}, error));
    EXPECT_EQ(error, "Cannot write " + folder + ": Is a directory");
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    const std::string device = scan_store::PathOf("device");
    std::filesystem::create_symlink("/dev/null", device);
    EXPECT_FALSE(scan_store::Save(device, {row}, error));
    EXPECT_EQ(error, "Cannot write " + device + ": it is not a regular file; move it away");

    // The folder cannot be made where a file stands.
    test_roots::SetConfigFolder(m_satellites.Path());
    WriteWholeFile(m_satellites.File("Scans"), "a file");
    EXPECT_FALSE(scan_store::Save(scan_store::PathOf("x"), {}, error));
    EXPECT_EQ(error.rfind("Cannot create the folder " + m_satellites.Path() + "/Scans: ", 0), 0u)
        << error;
}

TEST_F(ScanStoreTest, ABadFileIsNamedWithItsLine) {
    const std::string path = m_config.File("bad.csv");
    WriteWholeFile(path, "Frequency\r\n");
    std::string error;
    EXPECT_FALSE(scan_store::Load(path, error));
    EXPECT_EQ(error, path + " line 1: not the header of a scan");
    EXPECT_FALSE(scan_store::Load(m_config.Path(), error)) << "a folder";
    EXPECT_EQ(error, m_config.Path() + " is not a scan file");
}

}  // namespace
