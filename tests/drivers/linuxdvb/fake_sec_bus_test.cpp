#include "drivers/linuxdvb/fake_sec_bus.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace linuxdvb::testing {
namespace {

// One step on the bus: a pause, a voltage, a tone, a message, or a change the driver or the DVB
// core makes by itself.
struct SecStep {
    enum class Op { Pause, Voltage, Tone, Diseqc, ImplicitVoltageOff } op;
    int value = 0;  // ms for Pause, 13/18/0 for Voltage, 1/0 for Tone, last byte for Diseqc
};

struct SecRuleCase {
    const char* name;
    std::vector<SecStep> steps;
    std::vector<std::string> violations;
};

using Op = SecStep::Op;

std::vector<std::string> RunSteps(const std::vector<SecStep>& steps) {
    FakeSecBus bus;
    std::int64_t now = 0;
    for (const SecStep& step : steps) {
        switch (step.op) {
            case Op::Pause:
                now += step.value;
                break;
            case Op::Voltage:
                bus.SetVoltage(step.value == 13   ? DvbVoltage::Volt13
                               : step.value == 18 ? DvbVoltage::Volt18
                                                  : DvbVoltage::Off,
                               now);
                break;
            case Op::Tone:
                bus.SetTone(step.value != 0, now);
                break;
            case Op::Diseqc:
                now =
                    bus.SendDiseqc({0xE0, 0x10, 0x38, static_cast<std::uint8_t>(step.value)}, now);
                break;
            case Op::ImplicitVoltageOff:
                bus.SetVoltage(DvbVoltage::Off, now, true);
                break;
        }
    }
    return SecRuleViolations(bus.timeline, 150);
}

class SecRuleTest : public ::testing::TestWithParam<SecRuleCase> {};

TEST_P(SecRuleTest, NamesEveryBreachOfTheBusRules) {
    EXPECT_EQ(RunSteps(GetParam().steps), GetParam().violations);
}

std::string CaseName(const ::testing::TestParamInfo<SecRuleCase>& param) {
    return param.param.name;
}

// A 4-byte message holds the bus 60 ms. Power-up time 150 ms.
const std::vector<SecRuleCase> kSecRuleCases = {
    {"QuietSequence",
     {{Op::Voltage, 13},
      {Op::Tone, 0},
      {Op::Pause, 150},
      {Op::Diseqc, 0xF0},
      {Op::Pause, 15},
      {Op::Tone, 1}},
     {}},
    {"MessageTooSoonAfterPowerUp",
     {{Op::Voltage, 13}, {Op::Pause, 149}, {Op::Diseqc, 0xF0}},
     {"diseqc E0 10 38 F0 at 149 ms: 149 ms after the LNB was powered at 0 ms (needs 150)"}},
    {"MessageWithTheLnbUnpowered",
     {{Op::Pause, 200}, {Op::Diseqc, 0xF0}},
     {"diseqc E0 10 38 F0 at 200 ms: the LNB is not powered"}},
    {"MessageTooSoonAfterAVoltageChange",
     {{Op::Voltage, 13}, {Op::Pause, 200}, {Op::Voltage, 18}, {Op::Pause, 14}, {Op::Diseqc, 0xF2}},
     {"diseqc E0 10 38 F2 at 214 ms: 14 ms after the voltage change at 200 ms (needs 15)"}},
    {"MessageTooSoonAfterATone",
     {{Op::Voltage, 13},
      {Op::Tone, 1},
      {Op::Pause, 200},
      {Op::Tone, 0},
      {Op::Pause, 5},
      {Op::Diseqc, 0xF0}},
     {"diseqc E0 10 38 F0 at 205 ms: 5 ms after the tone change at 200 ms (needs 15)"}},
    {"MessageUnderTheTone",
     {{Op::Voltage, 13}, {Op::Tone, 1}, {Op::Pause, 200}, {Op::Diseqc, 0xF1}},
     {"diseqc E0 10 38 F1 at 200 ms: sent with the tone on"}},
    {"ToneTooSoonAfterAMessage",
     {{Op::Voltage, 18}, {Op::Pause, 150}, {Op::Diseqc, 0xF3}, {Op::Pause, 14}, {Op::Tone, 1}},
     {"tone on at 224 ms: 14 ms after the diseqc E0 10 38 F3 ended at 210 ms (needs 15)"}},
    {"RepeatTooSoon",
     {{Op::Voltage, 13}, {Op::Pause, 150}, {Op::Diseqc, 0xF0}, {Op::Pause, 10}, {Op::Diseqc, 0xF0}},
     {"diseqc E0 10 38 F0 at 220 ms: 10 ms after the diseqc E0 10 38 F0 ended at 210 ms "
      "(needs 15)"}},
    // The kernel unpowers the LNB when the frontend is closed: the next session powers it up
    // again and must wait once more.
    {"PowerUpAgainAfterClose",
     {{Op::Voltage, 13},
      {Op::Pause, 150},
      {Op::Diseqc, 0xF0},
      {Op::Pause, 100},
      {Op::ImplicitVoltageOff},
      {Op::Voltage, 13},
      {Op::Pause, 100},
      {Op::Diseqc, 0xF0}},
     {"diseqc E0 10 38 F0 at 410 ms: 100 ms after the LNB was powered at 310 ms (needs 150)"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, SecRuleTest, ::testing::ValuesIn(kSecRuleCases), CaseName);

}  // namespace
}  // namespace linuxdvb::testing
