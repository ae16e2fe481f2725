// The DVB-S2 scrambling-code conversion that the simulated card and the Linux backend share.
#include "platform/ks/pls_code.h"

#include <gtest/gtest.h>

namespace {

using pls_code::GoldFromRoot;
using pls_code::RootFromGold;

TEST(PlsCode, RootAndGoldFormsConvertBothWays) {
    struct Pair {
        std::uint32_t gold;
        std::uint32_t root;
    };
    // 131070 / 16416 is a code used on air; gold 0 is the default sequence (root 1); 262142 is the
    // last state of the cycle, from which the register returns to 1.
    const Pair pairs[] = {{0, 1},          {1, 131072}, {8, 1024},
                          {131070, 16416}, {262141, 4}, {262142, 2}};
    for (const Pair& pair : pairs) {
        EXPECT_EQ(RootFromGold(pair.gold), pair.root) << pair.gold;
        EXPECT_EQ(GoldFromRoot(pair.root), pair.gold) << pair.root;
    }
    EXPECT_EQ(RootFromGold(262143), 1u) << "a gold code past the cycle wraps around it";
    EXPECT_EQ(RootFromGold(262143 + 8), 1024u);
}

TEST(PlsCode, ConvertsAsDvbS2Defines) {
    EXPECT_EQ(GoldFromRoot(1), 0u);  // the x-sequence's initial state
    EXPECT_EQ(GoldFromRoot(16416), 131070u);
    EXPECT_EQ(GoldFromRoot(2),
              262142u);  // x = 2 shifts into 1 next: the last state of the cycle
}

TEST(PlsCode, RoundTripsTheSequence) {
    // Walking the generator n steps from 1 gives the root of gold code n.
    std::uint32_t x = 1;
    for (std::uint32_t gold = 0; gold < 70'000; ++gold) {
        if (gold % 9973 == 0) {
            EXPECT_EQ(GoldFromRoot(x), gold) << "root " << x;
            EXPECT_EQ(RootFromGold(gold), x) << "gold " << gold;
        }
        x = (((x ^ (x >> 7)) & 1u) << 17) | (x >> 1);
    }
}

TEST(PlsCode, RefusesCodesOutsideEighteenBits) {
    EXPECT_FALSE(GoldFromRoot(0));
    EXPECT_TRUE(GoldFromRoot(262143)) << "every non-zero 18-bit state lies on the cycle";
    EXPECT_FALSE(GoldFromRoot(1u << 18));
    EXPECT_FALSE(GoldFromRoot(0xFFFFFFFFu));
}

}  // namespace
