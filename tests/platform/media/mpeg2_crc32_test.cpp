#include "platform/media/mpeg2_crc32.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Text(std::string_view text) {
    return {text.begin(), text.end()};
}

// A PAT as a common muxer writes it (transport stream 1, program 1 with its PMT on PID 0x1000),
// without its last four bytes: the CRC the muxer wrote there, 2A B1 04 B2.
const Bytes kPatBody = {0x00, 0xB0, 0x0D, 0x00, 0x01, 0xC1, 0x00, 0x00, 0x00, 0x01, 0xF0, 0x00};

Bytes WithCrc(Bytes bytes, std::uint32_t crc) {
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes.push_back(static_cast<std::uint8_t>(crc >> shift));
    return bytes;
}

struct CrcCase {
    const char* name;
    Bytes data;
    std::uint32_t crc;
};

std::string CaseName(const ::testing::TestParamInfo<CrcCase>& param) {
    return param.param.name;
}

class Mpeg2Crc32Table : public ::testing::TestWithParam<CrcCase> {};

TEST_P(Mpeg2Crc32Table, MatchesTheKnownValue) {
    EXPECT_EQ(Mpeg2Crc32(GetParam().data), GetParam().crc);
}

INSTANTIATE_TEST_SUITE_P(
    KnownValues, Mpeg2Crc32Table,
    ::testing::Values(
        // The catalogue's check value of CRC-32/MPEG-2.
        CrcCase{"CheckString", Text("123456789"), 0x0376E6E7u},
        // Nothing read: the initial value, not inverted.
        CrcCase{"Empty", {}, 0xFFFFFFFFu},
        // What the muxer wrote behind its PAT.
        CrcCase{"PatBody", kPatBody, 0x2AB104B2u},
        // A whole section with its CRC leaves no remainder: how readers check one.
        CrcCase{"WholePat", WithCrc(kPatBody, 0x2AB104B2u), 0u}),
    CaseName);

TEST(Mpeg2Crc32Test, AppendsTheCrcMostSignificantByteFirst) {
    Bytes section = kPatBody;
    AppendMpeg2Crc32(section);
    EXPECT_EQ(section, WithCrc(kPatBody, 0x2AB104B2u));
}

}  // namespace
