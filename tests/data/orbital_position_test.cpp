#include "data/orbital_position.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(OrbitalPositionTest, NamesOfOnePositionShareTheirFirstWordOnce) {
    struct Case {
        std::vector<std::string> names;
        std::string merged;
    };
    const Case cases[] = {
        {{"Astra"}, "Astra"},
        {{"Astra-1KR"}, "Astra 1KR"},
        {{"Astra", "Astra-1KR", "Astra-1L", "Astra-1M", "Astra-1N"}, "Astra 1KR, 1L, 1M, 1N"},
        {{"Astra-2F", "Astra-2F", "Astra-2G"}, "Astra 2F, 2G"},
        {{"Hot Bird 13B", "Eutelsat 13C"}, "Hot Bird 13B, Eutelsat 13C"},
        {{"Astra", "Astra"}, "Astra"},
        {{}, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(MergedSatelliteName(c.names), c.merged) << c.merged;
}

SatelliteFile File(int tenths, std::string name, std::string fileName,
                   std::vector<SatelliteTransponder> transponders) {
    return SatelliteFile{tenths, std::move(name), std::move(transponders), std::move(fileName)};
}

SatelliteTransponder At(double frequency, char polarisation) {
    return SatelliteTransponder{frequency, polarisation, 22000, "AUTO", "", ""};
}

// The files of a position become one entry in frequency order, each transponder once, each row
// with the file that listed it first; positions keep the order of their first files.
TEST(OrbitalPositionTest, FilesAtOnePositionAreMergedWithoutDuplicates) {
    const std::vector<OrbitalPosition> positions = GroupByOrbitalPosition({
        File(192, "Astra", "Astra-19.2E.ini", {At(11362, 'H')}),
        File(130, "Hot Bird", "Hotbird-13.0E.ini", {At(10719, 'V')}),
        File(192, "Astra-1KR", "Astra-1KR-19.2E.ini", {At(11953.5, 'H'), At(10744, 'H')}),
        File(192, "Astra-1L", "Astra-1L-19.2E.ini",
             {At(11362.5, 'H'), At(11362, 'V'), At(10744, 'H')}),
    });
    ASSERT_EQ(positions.size(), 2u);
    const OrbitalPosition& astra = positions[0];
    EXPECT_EQ(astra.satellite.orbitalTenthsEast, 192);
    EXPECT_EQ(astra.satellite.name, "Astra 1KR, 1L");
    EXPECT_EQ(astra.satellite.fileName, "") << "more than one file";
    EXPECT_EQ(astra.satellite.transponders,
              (std::vector<SatelliteTransponder>{At(10744, 'H'), At(11362, 'H'), At(11362, 'V'),
                                                 At(11953.5, 'H')}));
    EXPECT_EQ(astra.transponderFiles,
              (std::vector<std::string>{"Astra-1KR-19.2E.ini", "Astra-19.2E.ini",
                                        "Astra-1L-19.2E.ini", "Astra-1KR-19.2E.ini"}));
    EXPECT_EQ(positions[1].satellite.name, "Hot Bird");
    EXPECT_EQ(positions[1].satellite.fileName, "Hotbird-13.0E.ini") << "one file keeps its name";
}

}  // namespace
