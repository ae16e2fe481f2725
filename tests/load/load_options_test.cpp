#include "load/load_options.h"

#include <gtest/gtest.h>

namespace {

TEST(LoadOptions, TakesOnlyAPositiveWholeNumberForItsOwnName) {
    EXPECT_EQ(CountOption("--cycles=10000", "cycles"), 10000u);
    EXPECT_EQ(CountOption("--seconds=1", "seconds"), 1u);
    EXPECT_EQ(CountOption("--cycles=0", "cycles"), std::nullopt);
    EXPECT_EQ(CountOption("--cycles=", "cycles"), std::nullopt);
    EXPECT_EQ(CountOption("--cycles=12x", "cycles"), std::nullopt);
    EXPECT_EQ(CountOption("--cycles=-3", "cycles"), std::nullopt);
    EXPECT_EQ(CountOption("--cycles 5", "cycles"), std::nullopt);
    EXPECT_EQ(CountOption("--cyclesx=5", "cycles"), std::nullopt);
    EXPECT_EQ(CountOption("--seconds=5", "cycles"), std::nullopt);
    EXPECT_EQ(CountOption("-cycles=5", "cycles"), std::nullopt);
    EXPECT_EQ(CountOption("--cycles=99999999999999999999999", "cycles"), std::nullopt)
        << "too large";
}

}  // namespace
