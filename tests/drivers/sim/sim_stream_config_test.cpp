#include "drivers/sim/sim_stream_config.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

#include "drivers/sim/ts_generator.h"

namespace {

// Carriers from a narrow DVB-S one to a wide DVB-S2 one: the made-up multiplex must always be one
// the generator accepts, with the layout the header promises.
struct LayoutCase {
    std::uint64_t bitRate;
    std::size_t services;
};

const LayoutCase kLayouts[] = {{1'000'000, 1},   {2'000'000, 4},   {5'000'000, 4},  {38'014'706, 8},
                               {99'988'966, 10}, {200'000'000, 3}, {60'000'000, 99}};

TEST(MakeSimStreamConfig, LaysOutServicesTheGeneratorAccepts) {
    for (const LayoutCase& c : kLayouts) {
        const SimStreamConfig config =
            MakeSimStreamConfig(1019, 1, c.bitRate, c.services, "Test", 9);
        ASSERT_EQ(config.services.size(), c.services);
        EXPECT_EQ(config.bit_rate, c.bitRate);
        std::uint64_t total = 0;
        std::set<std::uint16_t> ids;
        for (std::size_t i = 0; i < c.services; ++i) {
            const SimServiceConfig& s = config.services[i];
            const std::uint16_t pmt = static_cast<std::uint16_t>(0x100 + 0x20 * (i + 1));
            EXPECT_EQ(s.pmt_pid, pmt);
            EXPECT_EQ(s.pcr_pid, pmt + 1);
            EXPECT_EQ(s.service_name, "Test " + std::to_string(i + 1));
            EXPECT_TRUE(ids.insert(s.service_id).second);
            ASSERT_EQ(s.streams.size(), 2u);
            EXPECT_EQ(s.streams[0].stream_type, 0x02);
            EXPECT_EQ(s.streams[0].pid, pmt + 1);
            EXPECT_LE(s.streams[0].bit_rate, 12'000'000u);
            EXPECT_EQ(s.streams[1].stream_type, 0x04);
            EXPECT_EQ(s.streams[1].pid, pmt + 2);
            total += s.streams[0].bit_rate + s.streams[1].bit_rate;
        }
        EXPECT_LE(total, c.bitRate * 9 / 10) << c.bitRate;
        EXPECT_NO_THROW(CTsGenerator{config})
            << c.bitRate << " bit/s, " << c.services << " services";
    }
}

TEST(MakeSimStreamConfig, RefusesWhatDoesNotFit) {
    EXPECT_THROW(MakeSimStreamConfig(1, 1, 500'000, 3, "X", 1), std::invalid_argument);
    EXPECT_THROW(MakeSimStreamConfig(1, 1, 100'000'000, 100, "X", 1), std::invalid_argument);
    EXPECT_TRUE(MakeSimStreamConfig(1, 1, 1'000'000, 0, "X", 1).services.empty());
}

}  // namespace
