#include "data/listed_transponder.h"

#include <gtest/gtest.h>

namespace {

// What goes into the Tuner Setting page, and the list's row, for the lines satellite files hold.
TEST(ListedTransponderTest, LinesBecomeTunerFieldsAndRows) {
    struct Case {
        const char* line;
        TunerEntry entry;
        std::array<std::string, kTransponderColumns> row;
    };
    const Case cases[] = {
        {"11362,H,22000,2/3,DVB-S2,8PSK",
         {"11362", "22000", 0},
         {"11362", "H", "22000", "DVB-S2", "8PSK", "2/3"}},
        {"10714.25,V,22000,AUTO,DVB-S",
         {"10714", "22000", 1},
         {"10714.25", "V", "22000", "DVB-S", "-", "AUTO"}},
        {"12188.5,L,27500,3/4", {"12189", "27500", 0}, {"12188.5", "L", "27500", "-", "-", "3/4"}},
        {"11996,R,1000,5/6,,QPSK",
         {"11996", "1000", 1},
         {"11996", "R", "1000", "-", "QPSK", "5/6"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const auto transponder = ParseTransponderLine(c.line);
        ASSERT_TRUE(transponder);
        EXPECT_EQ(TunerEntryOf(*transponder), c.entry);
        EXPECT_EQ(TransponderRowTexts(*transponder), c.row);
    }
}

TEST(ListedTransponderTest, SatellitesAreNamedByTheirPositionEastOrWest) {
    const std::pair<int, const char*> cases[] = {
        {192, "19.2E  Astra"},   {0, "0.0E  Astra"},    {1800, "180.0E  Astra"},
        {1801, "179.9W  Astra"}, {3550, "5.0W  Astra"}, {3599, "0.1W  Astra"},
    };
    for (const auto& [tenths, label] : cases) {
        SatelliteFile satellite;
        satellite.orbitalTenthsEast = tenths;
        satellite.name = "Astra";
        EXPECT_EQ(SatelliteLabel(satellite), label);
    }
}

}  // namespace
