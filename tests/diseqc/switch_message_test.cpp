// The committed-switch message, byte for byte, for every port, band and polarisation.
#include "diseqc/switch_message.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using diseqc::Port;

struct SwitchCase {
    Port port;
    bool highBand;
    bool horizontal;
    std::uint8_t d;  // the fourth byte
};

std::vector<SwitchCase> SwitchCases() {
    // Port in bits 2-3, horizontal in bit 1, high band in bit 0, over F0.
    return {
        {Port::A, false, false, 0xF0}, {Port::A, false, true, 0xF2},  {Port::A, true, false, 0xF1},
        {Port::A, true, true, 0xF3},   {Port::B, false, false, 0xF4}, {Port::B, false, true, 0xF6},
        {Port::B, true, false, 0xF5},  {Port::B, true, true, 0xF7},   {Port::C, false, false, 0xF8},
        {Port::C, false, true, 0xFA},  {Port::C, true, false, 0xF9},  {Port::C, true, true, 0xFB},
        {Port::D, false, false, 0xFC}, {Port::D, false, true, 0xFE},  {Port::D, true, false, 0xFD},
        {Port::D, true, true, 0xFF},
    };
}

std::string SwitchCaseName(const ::testing::TestParamInfo<SwitchCase>& info) {
    const SwitchCase& c = info.param;
    return std::string("Port") + static_cast<char>('A' + static_cast<int>(c.port)) +
           (c.highBand ? "_HighBand" : "_LowBand") + (c.horizontal ? "_Horizontal" : "_Vertical");
}

class CommittedSwitchTable : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(CommittedSwitchTable, IsE0_10_38WithPortBandAndPolarisationBits) {
    const SwitchCase& c = GetParam();
    const std::array<std::uint8_t, 4> expected{0xE0, 0x10, 0x38, c.d};
    EXPECT_EQ(diseqc::CommittedSwitch(c.port, c.highBand, c.horizontal), expected);
}

INSTANTIATE_TEST_SUITE_P(EveryPort, CommittedSwitchTable, ::testing::ValuesIn(SwitchCases()),
                         SwitchCaseName);

}  // namespace
