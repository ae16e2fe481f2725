// The program's start-up on a satellite folder far bigger than the shipped one: the simulated
// cards are in the device list at once, and the sky they tune is still read whole and right.
#include <gtest/gtest.h>

#include <QListWidget>
#include <chrono>
#include <filesystem>
#include <string>

#include "data/satellite_file.h"
#include "drivers/sim/sim_device_provider.h"
#include "drivers/sim/sim_test_rig.h"
#include "pages/shell/device_list.h"
#include "support/hang_watchdog.h"

namespace {

constexpr int kFiles = 30;
constexpr int kLinesPerFile = 8000;

// Every line in a slot of its own: 2,000 MHz of each polarisation at one position per file.
void WriteBigSatelliteFiles(const std::string& folder) {
    std::filesystem::create_directories(folder);
    for (int file = 0; file < kFiles; ++file) {
        SatelliteFile satellite;
        satellite.orbitalTenthsEast = 100 + 10 * file;
        satellite.name = "Big " + std::to_string(file);
        for (int line = 0; line < kLinesPerFile; ++line) {
            satellite.transponders.push_back(
                {10700.0 + line / 4, "HVLR"[line % 4], 27500, "3/4", "DVB-S2", "8PSK"});
        }
        WriteWholeFile(folder + "/Big-" + std::to_string(file) + ".ini",
                       FormatSatelliteFileText(satellite));
    }
}

TEST(SatelliteFolderStartUpTest, ThirtyFilesOfEightThousandTranspondersListTheCardsWithinASecond) {
    const CHangWatchdog watchdog("the device list on a big satellite folder",
                                 std::chrono::seconds(120));
    const CSimTestEnvironment environment(false);  // the program folder is the test's folder
    WriteBigSatelliteFiles(environment.Folder().File("Transponders"));

    // As the program starts: the cards with the data folder's satellite files, then the list.
    const auto start = std::chrono::steady_clock::now();
    const CSimDeviceProvider provider(CSimTestRig::NoiselessOptions(), CSimClock::Mode::Manual);
    CDeviceList dialog;
    dialog.Create();
    const auto listed = std::chrono::steady_clock::now() - start;
    const auto* list = dialog.Item<QListWidget>(CDeviceList::kIdDeviceList);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->count(), static_cast<int>(provider.CardCount()));
    EXPECT_LT(listed, std::chrono::seconds(1));

    // Every line became a carrier, beside the card's own four at 19.2 E.
    const std::vector<SimCarrier>& carriers = provider.Sky().Carriers();
    EXPECT_EQ(carriers.size(), std::size_t{kFiles * kLinesPerFile} + 4);
    EXPECT_EQ(provider.Sky().Positions().size(), std::size_t{kFiles} + 1);
    EXPECT_EQ(provider.Sky().CarriersBetween(12'699'000, 12'699'000).size(),
              std::size_t{kFiles} * 4);
}

}  // namespace
