#include "drivers/sim/test_card.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct WrapCase {
    const char* name;
    std::vector<std::string> lines;
};

const WrapCase kWrapCases[] = {
    {"Alpen News", {"Alpen News"}},
    {"Helvet Classic", {"Helvet Classic"}},  // the longest of the simulated sky's names
    {"Fifteen letters", {"Fifteen letters"}},
    {"Sixteen letters!", {"Sixteen", "letters!"}},
    {"  Spaced   out  ", {"Spaced out"}},
    {"Caf\xC3\xA9 Zwei", {"Caf? Zwei"}},  // one '?' for a character the font lacks
    {"Averyveryverylongword", {"Averyveryverylo", "ngword"}},
    {"One two three four five six seven", {"One two three", "four five six"}},
    {"", {}},
};

TEST(TestCard, NamesWrapAtSpacesOntoTwoLines) {
    for (const WrapCase& c : kWrapCases)
        EXPECT_EQ(CTestCard(c.name).NameLines(), c.lines) << c.name;
}

// Rows of blocks that differ between two cards.
std::vector<int> DifferingRows(const CTestCard& a, const CTestCard& b) {
    std::vector<int> rows;
    for (int row = 0; row < CTestCard::kBlockRows; ++row) {
        for (int column = 0; column < CTestCard::kBlockColumns; ++column) {
            if (a.Luma(row, column) != b.Luma(row, column)) {
                rows.push_back(row);
                break;
            }
        }
    }
    return rows;
}

TEST(TestCard, ClockAndNameChangeOnlyTheirOwnRows) {
    CTestCard midnight("Nova Kino");
    CTestCard later("Nova Kino");
    later.SetClock(23 * 3600 + 59 * 60 + 58);
    EXPECT_EQ(DifferingRows(midnight, later), std::vector<int>({50, 51, 52, 53, 54, 55, 56}));
    later.SetClock(86400);  // a day later: midnight again
    EXPECT_TRUE(DifferingRows(midnight, later).empty());
    const std::vector<int> name = DifferingRows(midnight, CTestCard("Nova TV"));
    ASSERT_FALSE(name.empty());
    EXPECT_GE(name.front(), 32);
    EXPECT_LE(name.back(), 38);
}

}  // namespace
