#include "platform/media/mpeg2_crc32.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(Mpeg2Crc32Test, MatchesKnownValuesAndIsAppendedMostSignificantByteFirst) {
    const std::string_view check = "123456789";
    // A PAT as a common muxer writes it (transport stream 1, program 1, PMT on PID 0x1000),
    // without the CRC it wrote behind it: 2A B1 04 B2.
    const Bytes pat = {0x00, 0xB0, 0x0D, 0x00, 0x01, 0xC1, 0x00, 0x00, 0x00, 0x01, 0xF0, 0x00};
    Bytes whole = pat;
    AppendMpeg2Crc32(whole);
    EXPECT_EQ(whole, (Bytes{0x00, 0xB0, 0x0D, 0x00, 0x01, 0xC1, 0x00, 0x00, 0x00, 0x01, 0xF0, 0x00,
                            0x2A, 0xB1, 0x04, 0xB2}));
    const struct {
        const char* name;
        Bytes data;
        std::uint32_t crc;
    } rows[] = {
        {"the catalogue's check value", {check.begin(), check.end()}, 0x0376E6E7u},
        {"nothing read: the initial value, not inverted", {}, 0xFFFFFFFFu},
        {"the muxer's PAT", pat, 0x2AB104B2u},
        {"a whole section leaves no remainder, as readers check it", whole, 0u},
    };
    for (const auto& row : rows) EXPECT_EQ(Mpeg2Crc32(row.data), row.crc) << row.name;
}

}  // namespace
