// The arithmetic of a tune: band, IF, voltage, symbol rate; which DiSEqC messages wait for the
// tune. (The scrambling code conversion: tests/platform/ks/pls_code_test.cpp.)
#include "drivers/linuxdvb/dvb_tuning.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace linuxdvb {
namespace {

constexpr std::uint32_t kLow = 9'750'000;
constexpr std::uint32_t kHigh = 10'600'000;
constexpr std::uint32_t kSwitch = 11'700'000;

BdaTuneRequest Universal(std::uint32_t frequencyKHz, std::int32_t polarisation,
                         std::uint32_t symbolRateKsps = 27500) {
    BdaTuneRequest request;
    request.lowOscillator = kLow;
    request.highOscillator = kHigh;
    request.lnbSwitch = kSwitch;
    request.frequency = frequencyKHz;
    request.polarisation = polarisation;
    request.symbolRate = symbolRateKsps;
    return request;
}

struct PlanCase {
    const char* name;
    BdaTuneRequest request;
    DvbTunePlan expected;
};

class PlanTuneTable : public ::testing::TestWithParam<PlanCase> {};

TEST_P(PlanTuneTable, GivesIfBandVoltageAndSymbolRate) {
    const auto plan = PlanTune(GetParam().request);
    ASSERT_TRUE(plan);
    EXPECT_EQ(*plan, GetParam().expected);
}

BdaTuneRequest With(BdaTuneRequest request, void (*change)(BdaTuneRequest&)) {
    change(request);
    return request;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlanTuneTable,
    ::testing::Values(
        PlanCase{"LowBandHorizontal",
                 Universal(11'362'000, 1),
                 {1'612'000, false, DvbVoltage::Volt18, 27'500'000}},
        PlanCase{"HighBandVertical",
                 Universal(12'188'000, 2),
                 {1'588'000, true, DvbVoltage::Volt13, 27'500'000}},
        // Equal to the switch frequency is the low band, as the system's message says.
        PlanCase{"AtTheSwitchIsLowBand",
                 Universal(11'700'000, 1),
                 {1'950'000, false, DvbVoltage::Volt18, 27'500'000}},
        PlanCase{"OneKilohertzAboveIsHighBand",
                 Universal(11'700'001, 1),
                 {1'100'001, true, DvbVoltage::Volt18, 27'500'000}},
        PlanCase{"LeftCircularIs18Volt",
                 Universal(11'362'000, 3),
                 {1'612'000, false, DvbVoltage::Volt18, 27'500'000}},
        PlanCase{"RightCircularIs13Volt",
                 Universal(11'362'000, 4),
                 {1'612'000, false, DvbVoltage::Volt13, 27'500'000}},
        PlanCase{"PolarisationNotSetIs13Volt",
                 Universal(11'362'000, -1),
                 {1'612'000, false, DvbVoltage::Volt13, 27'500'000}},
        // The tuning space's "not set" switch (-1) is above every frequency: low band.
        PlanCase{
            "SwitchNotSetIsLowBand",
            With(Universal(12'188'000, 2), [](BdaTuneRequest& r) { r.lnbSwitch = kBdaNotSet; }),
            {2'438'000, false, DvbVoltage::Volt13, 27'500'000}},
        // No oscillator: the frequency is taken as the IF (a tuner fed without an LNB).
        PlanCase{
            "OscillatorNotSetPassesFrequency",
            With(Universal(1'612'000, 1), [](BdaTuneRequest& r) { r.lowOscillator = kBdaNotSet; }),
            {1'612'000, false, DvbVoltage::Volt18, 27'500'000}},
        PlanCase{"OscillatorZeroPassesFrequency",
                 With(Universal(1'612'000, 1), [](BdaTuneRequest& r) { r.lowOscillator = 0; }),
                 {1'612'000, false, DvbVoltage::Volt18, 27'500'000}},
        // C band: the oscillator (5150 MHz) lies above the carrier.
        PlanCase{"CBandOscillatorAbove",
                 With(Universal(3'800'000, 2),
                      [](BdaTuneRequest& r) {
                          r.lowOscillator = 5'150'000;
                          r.highOscillator = 5'150'000;
                          r.lnbSwitch = kBdaNotSet;
                      }),
                 {1'350'000, false, DvbVoltage::Volt13, 27'500'000}},
        PlanCase{"MultiplierInHertzUnits",
                 With(Universal(11'362, 1), [](BdaTuneRequest& r) { r.multiplier = 1'000'000; }),
                 {1'612'000, false, DvbVoltage::Volt18, 27'500'000}},
        PlanCase{
            "MultiplierNotSetIsKilohertz",
            With(Universal(11'362'000, 1), [](BdaTuneRequest& r) { r.multiplier = kBdaNotSet; }),
            {1'612'000, false, DvbVoltage::Volt18, 27'500'000}},
        PlanCase{"SymbolRateKspsToSymbolsPerSecond",
                 Universal(11'362'000, 1, 1000),
                 {1'612'000, false, DvbVoltage::Volt18, 1'000'000}},
        PlanCase{"SymbolRateNotSetPassesZero",
                 Universal(11'362'000, 1, kBdaNotSet),
                 {1'612'000, false, DvbVoltage::Volt18, 0}},
        PlanCase{"LargestSymbolRateThatFits",
                 Universal(11'362'000, 1, 4'294'967),
                 {1'612'000, false, DvbVoltage::Volt18, 4'294'967'000u}}),
    [](const ::testing::TestParamInfo<PlanCase>& item) { return item.param.name; });

TEST(PlanTune, RefusesWhatCannotBeTuned) {
    EXPECT_FALSE(PlanTune(Universal(kBdaNotSet, 1))) << "no frequency";
    EXPECT_FALSE(PlanTune(Universal(0, 1))) << "frequency 0";
    EXPECT_FALSE(PlanTune(Universal(9'750'000, 1))) << "IF 0";
    EXPECT_FALSE(PlanTune(Universal(11'362'000, 1, 4'294'968))) << "symbol rate beyond 32 bits";
    BdaTuneRequest huge = Universal(4'000'000'000u, 1);
    huge.multiplier = 1'000'000;  // 4e12 kHz: an IF beyond 32 bits
    EXPECT_FALSE(PlanTune(huge));
}

struct MessageCase {
    std::vector<std::uint8_t> message;
    bool switchMessage;
};

// Case names are the message's bytes in hex ("E0_10_38_F2"), as a bus trace shows them.
std::string MessageName(const ::testing::TestParamInfo<MessageCase>& item) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string name;
    for (const std::uint8_t byte : item.param.message) {
        if (!name.empty()) name += '_';
        name += kHex[byte >> 4];
        name += kHex[byte & 0x0F];
    }
    return name.empty() ? "Empty" : name;
}

class SwitchMessageTable : public ::testing::TestWithParam<MessageCase> {};

TEST_P(SwitchMessageTable, WaitsForTheTuneOnlyForSwitchCommands) {
    EXPECT_EQ(IsSwitchMessage(GetParam().message), GetParam().switchMessage);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, SwitchMessageTable,
    ::testing::Values(MessageCase{{0xE0, 0x10, 0x38, 0xF2}, true},    // committed, port A
                      MessageCase{{0xE1, 0x10, 0x38, 0xFF}, true},    // repeated
                      MessageCase{{0xE0, 0x11, 0x39, 0xF0}, true},    // uncommitted, LNB
                      MessageCase{{0xE0, 0x31, 0x6B, 0x00}, false},   // positioner goto
                      MessageCase{{0xE0, 0x31, 0x60}, false},         // positioner halt
                      MessageCase{{0xE0, 0x10, 0x38}, false},         // no data byte
                      MessageCase{{0xE0, 0x20, 0x38, 0xF0}, false},   // not a switch address
                      MessageCase{{0xE4, 0x10, 0x38, 0xF0}, false},   // not from master
                      MessageCase{{0xDF, 0x10, 0x38, 0xF0}, false},   // not from master
                      MessageCase{{0xE0, 0x1F, 0x38, 0xF0}, true},    // last of the 1x family
                      MessageCase{{0xE0, 0x10, 0x00, 0xF0}, false}),  // reset command
    MessageName);

}  // namespace
}  // namespace linuxdvb
