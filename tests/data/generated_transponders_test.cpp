// The satellite files that the build generated into the program folder, checked as a whole
// against the scan tables they came from.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <set>
#include <string>

#include "data/satellite_file.h"
#include "platform/win/private_profile.h"
#include "satgen/scan_table_converter.h"

namespace {

namespace fs = std::filesystem;

std::set<std::string> ExpectedFileNames() {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(VLK_SCAN_TABLES_DIR)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && !name.starts_with('.') && ParseScanTableName(name)) {
            names.insert(name + ".ini");
        }
    }
    return names;
}

TEST(GeneratedTranspondersTest, OneFilePerTableWithAPosition) {
    std::set<std::string> written;
    for (const auto& entry : fs::directory_iterator(VLK_TRANSPONDERS_DIR)) {
        written.insert(entry.path().filename().string());
    }
    const std::set<std::string> expected = ExpectedFileNames();
    EXPECT_FALSE(expected.empty());
    EXPECT_EQ(written, expected);
}

TEST(GeneratedTranspondersTest, EveryFileReadsBackCompleteSortedAndWithoutDuplicates) {
    int transponders = 0;
    for (const std::string& fileName : ExpectedFileNames()) {
        const std::string path = std::string(VLK_TRANSPONDERS_DIR) + "/" + fileName;
        const auto satellite = ReadSatelliteFile(path);
        ASSERT_TRUE(satellite) << path;

        const auto table = ParseScanTableName(fileName.substr(0, fileName.size() - 4));
        ASSERT_TRUE(table) << fileName;
        EXPECT_EQ(satellite->orbitalTenthsEast, table->orbitalTenthsEast) << fileName;
        EXPECT_EQ(satellite->name, table->name) << fileName;

        // Every line the file counts is one the reader accepts.
        std::array<char, 16> count{};
        GetPrivateProfileStringA("DVB", "0", "", count.data(), count.size(), path.c_str());
        EXPECT_EQ(std::to_string(satellite->transponders.size()), count.data()) << fileName;

        const auto& list = satellite->transponders;
        for (std::size_t i = 1; i < list.size(); ++i) {
            EXPECT_LE(list[i - 1].frequencyMHz, list[i].frequencyMHz) << fileName << " #" << i;
            EXPECT_NE(list[i - 1], list[i]) << fileName << " #" << i;
        }
        for (const SatelliteTransponder& transponder : list) {
            EXPECT_GE(transponder.frequencyMHz, 1000.0) << fileName;
            EXPECT_NE(std::string("HVLR").find(transponder.polarisation), std::string::npos);
        }
        transponders += static_cast<int>(list.size());
    }
    EXPECT_GT(transponders, 0);
}

}  // namespace
