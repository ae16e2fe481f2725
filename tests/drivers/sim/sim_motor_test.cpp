// The DiSEqC 1.2 dish motor over simulated time, alone and behind the card's switch.
#include "drivers/sim/sim_motor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drivers/sim/sim_test_rig.h"

namespace {

constexpr std::uint64_t kSecond = CSimClock::kTicksPerSecond;

class SimMotorTest : public testing::Test {
protected:
    std::vector<std::string> m_events;
    CSimMotor m_motor{
        CSimMotor::Settings{1.5, 0.125, 75.0},
        [this](std::uint64_t ticks, const std::string& event) {
            m_events.push_back(std::to_string(ticks / (kSecond / 1000)) + " " + event);
        }};
};

TEST_F(SimMotorTest, DrivesAtItsStatedSpeedUntilHalted) {
    m_motor.Drive(0, true, 0x00);
    EXPECT_DOUBLE_EQ(m_motor.AngleAt(2 * kSecond), 3.0);
    EXPECT_DOUBLE_EQ(m_motor.AngleAt(kSecond / 2), 0.75);
    m_motor.Halt(2 * kSecond);
    EXPECT_FALSE(m_motor.IsMoving());
    EXPECT_DOUBLE_EQ(m_motor.AngleAt(10 * kSecond), 3.0);
    const std::vector<std::string> expected = {
        "0 motor start east from 0.0000 deg (drive east continuously)",
        "2000 motor stop at 3.0000 deg (halt)",
    };
    EXPECT_EQ(m_events, expected);
}

TEST_F(SimMotorTest, DriveDataMeansContinuousTimeOutOrSteps) {
    struct Case {
        bool east;
        std::uint8_t data;
        double angle;  // where it ends
        std::uint64_t endMs;
    };
    const Case cases[] = {
        {true, 0x02, 3.0, 2000},      // 2 s time-out
        {false, 0x50, -75.0, 50000},  // 80 s time-out, ends at the mechanical range after 50 s
        {true, 0xFF, 0.125, 83},      // one step
        {false, 0xF8, -1.0, 666},     // eight steps
    };
    for (const Case& c : cases) {
        CSimMotor motor(CSimMotor::Settings{1.5, 0.125, 75.0},
                        [](std::uint64_t, const std::string&) {});
        motor.Drive(0, c.east, c.data);
        EXPECT_TRUE(motor.IsMoving());
        EXPECT_EQ(motor.StopTime() / (kSecond / 1000), c.endMs) << int{c.data};
        motor.AdvanceTo(100 * kSecond);
        EXPECT_DOUBLE_EQ(motor.Angle(), c.angle) << int{c.data};
    }
}

TEST_F(SimMotorTest, StopsAtSoftLimitsUntilTheyAreSwitchedOff) {
    m_motor.GotoAngle(0, 3.0);
    m_motor.AdvanceTo(2 * kSecond);
    m_motor.SetEastLimit(2 * kSecond);
    m_motor.GotoAngle(2 * kSecond, -6.0);
    m_motor.AdvanceTo(8 * kSecond);
    m_motor.SetWestLimit(8 * kSecond);
    ASSERT_EQ(m_motor.EastLimit(), 3.0);
    ASSERT_EQ(m_motor.WestLimit(), -6.0);

    m_motor.GotoAngle(8 * kSecond, 10.0);
    m_motor.AdvanceTo(30 * kSecond);
    EXPECT_DOUBLE_EQ(m_motor.Angle(), 3.0);
    EXPECT_EQ(m_events.back(), "14000 motor stop at 3.0000 deg (east limit)");
    m_motor.Drive(30 * kSecond, true, 0x00);  // at the limit already: no movement
    EXPECT_FALSE(m_motor.IsMoving());
    m_motor.Drive(30 * kSecond, false, 0x00);
    m_motor.AdvanceTo(60 * kSecond);
    EXPECT_DOUBLE_EQ(m_motor.Angle(), -6.0);

    m_motor.LimitsOff(60 * kSecond);
    m_motor.GotoAngle(60 * kSecond, 10.0);
    m_motor.AdvanceTo(80 * kSecond);
    EXPECT_DOUBLE_EQ(m_motor.Angle(), 10.0);
    m_motor.LimitsOn(80 * kSecond);  // store 00: the kept limits count again
    m_motor.Drive(80 * kSecond, false, 0x00);
    m_motor.AdvanceTo(100 * kSecond);
    EXPECT_DOUBLE_EQ(m_motor.Angle(), -6.0);
}

TEST_F(SimMotorTest, StoresAndRecallsPositions) {
    m_motor.GotoAngle(0, 7.5);
    m_motor.AdvanceTo(5 * kSecond);
    m_motor.Store(5 * kSecond, 3);
    EXPECT_EQ(m_motor.StoredPosition(3), 7.5);
    m_motor.Goto(5 * kSecond, 0);  // the reference position
    m_motor.AdvanceTo(10 * kSecond);
    EXPECT_DOUBLE_EQ(m_motor.Angle(), 0.0);
    m_motor.Goto(10 * kSecond, 3);
    EXPECT_DOUBLE_EQ(m_motor.AngleAt(12 * kSecond), 3.0);
    m_motor.AdvanceTo(20 * kSecond);
    EXPECT_DOUBLE_EQ(m_motor.Angle(), 7.5);
    m_motor.Goto(20 * kSecond, 9);  // never stored
    EXPECT_FALSE(m_motor.IsMoving());
    EXPECT_EQ(m_events.back(), "20000 motor position 9 not stored, no movement");
}

TEST_F(SimMotorTest, ANewCommandEndsTheMovementWhereItIs) {
    m_motor.GotoAngle(0, 30.0);
    m_motor.GotoAngle(4 * kSecond, -3.0);
    EXPECT_DOUBLE_EQ(m_motor.AngleAt(4 * kSecond), 6.0);
    m_motor.AdvanceTo(20 * kSecond);
    EXPECT_DOUBLE_EQ(m_motor.Angle(), -3.0);
    const std::vector<std::string> expected = {
        "0 motor start east from 0.0000 deg to 30.0000 deg (goto angle)",
        "4000 motor stop at 6.0000 deg (new command)",
        "4000 motor start west from 6.0000 deg to -3.0000 deg (goto angle)",
        "10000 motor stop at -3.0000 deg (target reached)",
    };
    EXPECT_EQ(m_events, expected);
}

// Through the card: the switch must lead to port A, and a repeated transmission counts once.
TEST(SimMotorBehindTheSwitch, StepButtonsMoveOneStepPerPressAndOnlyOnPortA) {
    CSimTestRig rig(0);
    const auto press = [&](std::vector<std::uint8_t> message) {
        message[0] = 0xE1;
        EXPECT_EQ(rig.SendDiseqc(message), S_OK);
        message[0] = 0xE0;
        EXPECT_EQ(rig.SendDiseqc(message), S_OK);
    };
    press({0, 0x31, 0x68, 0xFF});  // "Step East"
    rig.Clock().AdvanceMs(500);
    EXPECT_DOUBLE_EQ(rig.Card().MotorAngle(), 0.125);
    press({0, 0x31, 0x68, 0xFF});
    rig.Clock().AdvanceMs(500);
    EXPECT_DOUBLE_EQ(rig.Card().MotorAngle(), 0.25);
    press({0, 0x31, 0x69, 0xFF});  // "Step West"
    rig.Clock().AdvanceMs(500);
    EXPECT_DOUBLE_EQ(rig.Card().MotorAngle(), 0.125);

    ASSERT_EQ(rig.SendCommittedSwitch('B', SimTune{}), S_OK);
    press({0, 0x31, 0x68, 0x50});  // "Drive East" reaches no motor behind port B
    rig.Clock().AdvanceMs(2000);
    EXPECT_DOUBLE_EQ(rig.Card().MotorAngle(), 0.125);
    const auto trace = rig.Environment().TraceText();
    EXPECT_NE(trace.find("motor not reached: switch port B selected"), std::string::npos);
    EXPECT_NE(
        trace.find("diseqc E0 31 68 FF: motor drive east 1 step (repeated, not acted on again)"),
        std::string::npos);
}

}  // namespace
