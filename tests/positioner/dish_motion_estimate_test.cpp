// The believed dish angle against the simulated card's motor: the same messages at the same
// times through the card's DiSEqC path (which acts once on a repeated plus first transmission)
// and into the estimate, compared every 100 ms of a clock the test drives.
#include "positioner/dish_motion_estimate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "diseqc/motor_message.h"
#include "drivers/sim/sim_card.h"
#include "drivers/sim/sim_card_catalog.h"
#include "drivers/sim/sim_clock.h"
#include "drivers/sim/sim_sky.h"
#include "drivers/sim/sim_test_rig.h"

namespace {

using diseqc::Direction;
using diseqc::Framing;
using Bytes = std::vector<std::uint8_t>;

// What the dish window may be off by; the estimate follows the same rules, so it is far closer.
constexpr double kAgreement = 0.5;
constexpr std::uint64_t kCompareEveryMs = 100;
// Messages sent together leave this far apart (a DiSEqC message and its pause take about as
// long): a second transmission acted on again would then restart the command from further on.
constexpr std::uint64_t kBetweenMessagesMs = 20;

Bytes BytesOf(std::span<const std::uint8_t> message) {
    return Bytes(message.begin(), message.end());
}

// A motor command as the positioner page sends it: repeated transmission, then the first.
std::vector<Bytes> Press(const std::function<diseqc::MotorMessage(Framing)>& build) {
    return {BytesOf(build(Framing::Repeat).Span()), BytesOf(build(Framing::First).Span())};
}

// "Go": one goto-angle message. `eastDegrees` in the motor's sense; the builder counts west.
std::vector<Bytes> Go(double eastDegrees) {
    return {BytesOf(diseqc::GotoAngle(-eastDegrees))};
}

std::vector<Bytes> DriveSeconds(Direction direction, int seconds) {
    return Press([=](Framing f) { return diseqc::DriveSeconds(f, direction, seconds); });
}
std::vector<Bytes> DriveSteps(Direction direction, int steps) {
    return Press([=](Framing f) { return diseqc::DriveSteps(f, direction, steps); });
}
std::vector<Bytes> DriveOn(Direction direction) {
    // Data 00: on until halted (the page never sends it, other programs may).
    const std::uint8_t command = direction == Direction::East ? 0x68 : 0x69;
    return {{0xE1, 0x31, command, 0x00}, {0xE0, 0x31, command, 0x00}};
}
std::vector<Bytes> Halt() {
    return Press([](Framing f) { return diseqc::Halt(f); });
}
std::vector<Bytes> SetLimit(Direction side) {
    return Press([=](Framing f) { return diseqc::SetLimit(f, side); });
}
std::vector<Bytes> LimitsOff() {
    return Press([](Framing f) { return diseqc::LimitsOff(f); });
}
std::vector<Bytes> LimitsOn() {
    return Press([](Framing f) { return diseqc::StorePosition(f, 0); });
}
std::vector<Bytes> Store(std::uint8_t position) {
    return Press([=](Framing f) { return diseqc::StorePosition(f, position); });
}
std::vector<Bytes> Goto(std::uint8_t position) {
    return Press([=](Framing f) { return diseqc::GotoPosition(f, position); });
}
// The committed switch of "Lock TP" for port A (the motorised dish stays selected) and B.
std::vector<Bytes> SwitchPortA() {
    return {{0xE0, 0x10, 0x38, 0xF0}};
}
std::vector<Bytes> SwitchPortB() {
    return {{0xE0, 0x10, 0x38, 0xF4}};
}

struct Sent {
    std::uint64_t atMs;
    std::vector<Bytes> messages;  // back to back, kBetweenMessagesMs apart
};

// A small sky: the motor does not need carriers, the card needs a sky.
std::shared_ptr<const CSimSky> EmptySky() {
    return std::make_shared<const CSimSky>(CSimSky::FromSatellites({}));
}

// The card's motor and the estimate, fed alike.
class CMotorPair {
public:
    explicit CMotorPair(double speed = 1.5) : m_options(Options(speed)) {
        m_estimate.SetSpeed(speed, 0);
    }

    std::uint64_t NowMs() const { return m_pClock->Now() / CSimClock::kTicksPerMs; }
    // The estimate hears of the message with the card's word on whether the motor got it.
    void Send(const Bytes& message) {
        m_card.SendDiseqc(message);
        m_estimate.OnMessage(
            message, NowMs(),
            m_card.LastDiseqcReachedMotor() ? MotorReach::Reached : MotorReach::NotReached);
    }
    // Advances to `untilMs`, comparing the angle and whether it moves on the way.
    void RunTo(std::uint64_t untilMs, const std::string& context) {
        while (NowMs() < untilMs) {
            m_pClock->AdvanceMs(std::min(kCompareEveryMs, untilMs - NowMs()));
            Compare(context);
        }
    }
    void Compare(const std::string& context) {
        const std::uint64_t ticks = m_pClock->Now();
        const DishMotion motion = m_estimate.At(NowMs());
        const double simAngle = m_card.MotorAngle();
        EXPECT_NEAR(motion.angle, simAngle, kAgreement) << context << " at " << NowMs() << " ms";
        const bool simMoving = m_card.Motor().IsMoving() && m_card.Motor().StopTime() > ticks;
        EXPECT_EQ(motion.moving, simMoving) << context << " at " << NowMs() << " ms";
    }
    // The motor's own end of the movement under way, in seconds from now.
    double SimSecondsLeft() const {
        return static_cast<double>(m_card.Motor().StopTime() - m_pClock->Now()) /
               CSimClock::kTicksPerSecond;
    }
    CSimCard& Card() { return m_card; }
    CDishMotionEstimate& Estimate() { return m_estimate; }

private:
    static SimOptions Options(double speed) {
        SimOptions options;
        options.noise = 0;
        options.motorSpeed = speed;
        return options;
    }

    CSimTestEnvironment m_environment{false};
    SimOptions m_options;
    std::shared_ptr<CSimClock> m_pClock = std::make_shared<CSimClock>(CSimClock::Mode::Manual);
    CSimCard m_card{kSimulatedCards[0], m_options, EmptySky(), m_pClock, 1};
    CDishMotionEstimate m_estimate;
};

struct AgreementCase {
    std::string name;
    std::vector<Sent> script;
    std::uint64_t endMs;
    double finalAngle;  // where both end, as a literal
    bool finalReferenced;
    double speed = 1.5;
};

std::vector<AgreementCase> AgreementCases() {
    constexpr auto East = Direction::East;
    constexpr auto West = Direction::West;
    return {
        {"GoTwentyWest", {{0, Go(-20)}}, 15000, -20.0, true},
        // Behind port B the motor hears nothing: neither moves until port A is back.
        {"GoThroughPortBMovesNeither",
         {{0, SwitchPortB()}, {100, Go(20)}, {15000, SwitchPortA()}, {15100, Go(-5)}},
         20000,
         -5.0,
         true},
        // A new command ends the movement under way where it is.
        {"GoInterruptedByADrive", {{0, Go(30)}, {4000, DriveSeconds(West, 2)}}, 10000, 3.0, false},
        {"StepsEastAndWest",
         {{0, DriveSteps(East, 8)}, {1000, DriveSteps(East, 1)}, {2000, DriveSteps(West, 128)}},
         14000,
         1.125 - 16.0,
         false},
        {"TimedDriveRunsOut", {{0, DriveSeconds(East, 5)}}, 8000, 7.5, false},
        {"TimedDriveHalted", {{0, DriveSeconds(East, 5)}, {3000, Halt()}}, 6000, 4.5, false},
        {"ContinuousDriveHalted", {{0, DriveOn(West)}, {10000, Halt()}}, 12000, -15.0, false},
        {"ContinuousDriveStopsAtTheMechanicalRange", {{0, DriveOn(East)}}, 55000, 75.0, false},
        {"GotoReferenceAfterDriving",
         {{0, DriveSeconds(East, 6)}, {7000, Goto(0)}},
         14000,
         0.0,
         true},
        {"GotoReferenceInterruptedIsNoReference",
         {{0, DriveSeconds(East, 6)}, {7000, Goto(0)}, {9000, Halt()}},
         10000,
         6.0,
         false},
        // The east limit is set at 6 degrees: a drive east ends there while the limits are on,
        // goes past once they are off, and stops there again once stored position 0 turns them on.
        {"DriveIntoAnUnreferencedLimitAndLimitsOffAndOn",
         {{0, DriveSeconds(East, 4)},
          {5000, SetLimit(East)},
          {6000, DriveSeconds(West, 2)},
          {9000, DriveOn(East)},
          {13000, DriveSeconds(West, 1)},
          {15000, LimitsOff()},
          {16000, DriveSeconds(East, 4)},
          {21000, LimitsOn()},
          {22000, DriveOn(East)},
          {24000, DriveSeconds(West, 4)},
          {29000, DriveOn(East)}},
         34000,
         6.0,
         false},
        // A limit set at a referenced angle gives the reference back when the dish reaches it.
        {"DriveIntoAReferencedLimit",
         {{0, Go(10)}, {8000, SetLimit(East)}, {9000, Go(-5)}, {20000, DriveOn(East)}},
         32000,
         10.0,
         true},
        {"WestLimitStopsAGoBeyondIt",
         {{0, DriveSeconds(West, 2)}, {3000, SetLimit(West)}, {4000, Go(5)}, {10000, Go(-20)}},
         17000,
         -3.0,
         false},
        {"StoredPositionsOfThisRun",
         {{0, DriveSeconds(East, 4)},
          {5000, Store(1)},
          {6000, Go(12)},
          {13000, Store(2)},
          {14000, DriveSeconds(West, 10)},
          {25000, Goto(1)},
          {38000, Goto(2)}},
         44000,
         12.0,
         true},
        {"StoredUnreferencedPositionStaysUnreferenced",
         {{0, DriveSeconds(East, 4)}, {5000, Store(3)}, {6000, Go(-10)}, {18000, Goto(3)}},
         30000,
         6.0,
         false},
        // A repeated and a first transmission of one press count once; two presses twice; a
        // repeat more than 100 ms later is a new press.
        {"PressesCountOnceEach",
         {{0, DriveSteps(East, 8)},
          {2000, DriveSteps(East, 8)},
          {4000, {BytesOf(diseqc::DriveSteps(Framing::First, Direction::East, 8).Span())}},
          {4100, {BytesOf(diseqc::DriveSteps(Framing::First, Direction::East, 8).Span())}},
          {6000, {BytesOf(diseqc::DriveSteps(Framing::First, Direction::East, 8).Span())}},
          // 101 ms: a new press, which ends the one under way 0.1515 degrees on.
          {6101, {BytesOf(diseqc::DriveSteps(Framing::First, Direction::East, 8).Span())}}},
         8000,
         4.1515,
         false},
        // "Lock TP" between the two transmissions makes the second a new command on the card.
        {"SwitchMessageBetweenTransmissions",
         {{0,
           {BytesOf(diseqc::DriveSteps(Framing::Repeat, Direction::West, 8).Span()),
            SwitchPortA()[0]}},
          {50, {BytesOf(diseqc::DriveSteps(Framing::First, Direction::West, 8).Span())}}},
         2000,
         -1.075,
         false},
        // Switch messages and messages for other devices do not stop a drive.
        {"OtherMessagesIgnored",
         {{0, DriveOn(East)},
          {1000, SwitchPortA()},
          {2000, {{0xE0, 0x10, 0x60}, {0xE0, 0x32, 0x60}, {0xE0, 0x31}, {0x12, 0x34}}},
          {3000, {{0xE1, 0x31, 0x6E, 0x00, 0xA2}, {0xE0, 0x31, 0x61}}},
          {4000, Halt()}},
         5000,
         6.0,
         false},
        {"FasterMotor", {{0, Go(20)}, {12000, DriveSteps(West, 4)}}, 15000, 19.5, true, 2.5},
    };
}

// Failures name the case, not its bytes.
void PrintTo(const AgreementCase& c, std::ostream* out) {
    *out << c.name;
}

class DishMotionAgreement : public ::testing::TestWithParam<AgreementCase> {};

TEST_P(DishMotionAgreement, FollowsTheSimulatedMotor) {
    const AgreementCase& c = GetParam();
    CMotorPair pair(c.speed);
    for (const Sent& sent : c.script) {
        pair.RunTo(sent.atMs, c.name);
        for (const Bytes& message : sent.messages) {
            if (&message != &sent.messages.front())
                pair.RunTo(pair.NowMs() + kBetweenMessagesMs, c.name);
            pair.Send(message);
            pair.Compare(c.name);
        }
    }
    pair.RunTo(c.endMs, c.name);
    const DishMotion end = pair.Estimate().At(c.endMs);
    EXPECT_FALSE(end.moving);
    EXPECT_NEAR(end.angle, c.finalAngle, 1e-9);
    EXPECT_NEAR(pair.Card().MotorAngle(), c.finalAngle, 1e-9);
    EXPECT_EQ(end.referenced, c.finalReferenced);
}

INSTANTIATE_TEST_SUITE_P(Commands, DishMotionAgreement, ::testing::ValuesIn(AgreementCases()),
                         [](const auto& item) { return item.param.name; });

// The dish window's promise: during a 20-degree "Go" the believed angle is within half a degree
// of the motor's at every second, and the expected arrival is the motor's.
TEST(DishMotionEstimate, GoOfTwentyDegreesAgreesEverySecondAndArrivesWhenTheMotorDoes) {
    for (const double start : {0.0, -7.5}) {
        CMotorPair pair;
        if (start != 0.0) {
            pair.Send(BytesOf(diseqc::GotoAngle(-start)));
            pair.RunTo(10000, "to the start");
        }
        const std::uint64_t goMs = pair.NowMs();
        pair.Send(BytesOf(diseqc::GotoAngle(-(start + 20.0))));
        for (int second = 0; second <= 15; ++second) {
            pair.RunTo(goMs + static_cast<std::uint64_t>(second) * 1000, "go");
            const DishMotion motion = pair.Estimate().At(pair.NowMs());
            ASSERT_NEAR(motion.angle, pair.Card().MotorAngle(), kAgreement) << second;
            if (second < 14) {
                ASSERT_TRUE(motion.moving) << second;
                ASSERT_TRUE(motion.target && motion.secondsLeft) << second;
                EXPECT_DOUBLE_EQ(*motion.target, start + 20.0);
                EXPECT_NEAR(*motion.secondsLeft, pair.SimSecondsLeft(), 1e-3) << second;
                EXPECT_NEAR(*motion.secondsLeft, 20.0 / 1.5 - second, 1e-9) << second;
            } else {
                EXPECT_FALSE(motion.moving) << second;
                EXPECT_TRUE(motion.referenced);
                EXPECT_DOUBLE_EQ(motion.angle, start + 20.0);
            }
        }
    }
}

// What the window shows while a movement is under way, from 8 degrees: a target and the time to
// it when the command says where the movement ends, nothing of the kind for a drive on until
// halted.
TEST(DishMotionEstimate, TargetAndTimeLeftWhileMoving) {
    struct Case {
        std::string name;
        Bytes message;
        std::uint64_t atMs;
        double angle;
        std::optional<double> target;
        std::optional<double> secondsLeft;
    };
    const Case cases[] = {
        {"EightStepsEast", {0xE0, 0x31, 0x68, 0xF8}, 300, 8.45, 9.0, 1.0 / 1.5 - 0.3},
        {"TenSecondsWest", {0xE0, 0x31, 0x69, 0x0A}, 4000, 2.0, -7.0, 6.0},
        {"EastUntilHalted", {0xE0, 0x31, 0x68, 0x00}, 2000, 11.0, std::nullopt, std::nullopt},
        {"GotoAngleBeyondTheRange",
         {0xE1, 0x31, 0x6E, 0xE5, 0x00},
         10000,
         23.0,
         75.0,
         67.0 / 1.5 - 10.0},
        {"GotoReference", {0xE0, 0x31, 0x6B, 0x00}, 1000, 6.5, 0.0, 8.0 / 1.5 - 1.0},
    };
    for (const Case& c : cases) {
        CDishMotionEstimate estimate(8.0);
        estimate.OnMessage(c.message, 0);
        const DishMotion motion = estimate.At(c.atMs);
        EXPECT_TRUE(motion.moving) << c.name;
        EXPECT_NEAR(motion.angle, c.angle, 1e-9) << c.name;
        ASSERT_EQ(motion.target.has_value(), c.target.has_value()) << c.name;
        if (c.target) {
            EXPECT_NEAR(*motion.target, *c.target, 1e-9) << c.name;
        }
        ASSERT_EQ(motion.secondsLeft.has_value(), c.secondsLeft.has_value()) << c.name;
        if (c.secondsLeft) {
            EXPECT_NEAR(*motion.secondsLeft, *c.secondsLeft, 1e-9) << c.name;
        }
    }
}

// A Go of 20 degrees east at 0 ms (arriving at 13.3 s) that the card could not vouch for, then
// what the user or a lock says: the estimate stays assumed until one of them proves it.
TEST(DishMotionEstimate, AnUnvouchedCommandIsAssumedUntilConfirmedOrProvenByALock) {
    struct Case {
        std::string name;
        std::function<void(CDishMotionEstimate&)> then;
        bool assumed;
        bool referenced;
    };
    const Case cases[] = {
        {"NothingMore", [](CDishMotionEstimate&) {}, true, true},
        {"ConfirmedAtRest", [](CDishMotionEstimate& e) { e.Confirm(20000); }, false, true},
        {"ConfirmWhileMovingIgnored", [](CDishMotionEstimate& e) { e.Confirm(5000); }, true, true},
        {"LockTunedAtRest", [](CDishMotionEstimate& e) { e.ProveByLock(14000, 16000); }, false,
         true},
        {"LockTunedWhileMoving", [](CDishMotionEstimate& e) { e.ProveByLock(10000, 16000); }, true,
         true},
        {"LockTunedBeforeALaterCommand",
         [](CDishMotionEstimate& e) {
             e.OnMessage(std::array<std::uint8_t, 4>{0xE0, 0x31, 0x68, 0x02}, 14000,
                         MotorReach::Unknown);
             e.ProveByLock(14500, 20000);
         },
         true, true},
    };
    for (const Case& c : cases) {
        CDishMotionEstimate estimate;
        estimate.OnMessage(diseqc::GotoAngle(-20.0), 0, MotorReach::Unknown);
        EXPECT_TRUE(estimate.At(0).moving) << c.name << ": believed, as a real card's must be";
        c.then(estimate);
        const DishMotion motion = estimate.At(30000);
        EXPECT_EQ(motion.assumed, c.assumed) << c.name;
        EXPECT_EQ(motion.referenced, c.referenced) << c.name;
    }
    // The card's word that the motor did not hear it: nothing moves, nothing is assumed.
    CDishMotionEstimate estimate;
    estimate.OnMessage(diseqc::GotoAngle(-20.0), 0, MotorReach::NotReached);
    const DishMotion motion = estimate.At(30000);
    EXPECT_EQ(motion.angle, 0.0);
    EXPECT_FALSE(motion.moving || motion.assumed);
}

TEST(DishMotionEstimate, SpeedChangeMidMoveGoesOnAtTheNewSpeedFromThen) {
    CDishMotionEstimate estimate;
    EXPECT_DOUBLE_EQ(estimate.Speed(), 1.5);
    estimate.OnMessage(diseqc::GotoAngle(-20.0), 0);  // 20 degrees east
    estimate.SetSpeed(3.0, 4000);                     // at 6 degrees
    EXPECT_DOUBLE_EQ(estimate.Speed(), 3.0);
    DishMotion motion = estimate.At(6000);
    EXPECT_NEAR(motion.angle, 12.0, 1e-9);
    EXPECT_NEAR(*motion.secondsLeft, 8.0 / 3.0, 1e-9);
    EXPECT_DOUBLE_EQ(*motion.target, 20.0);
    EXPECT_TRUE(estimate.At(8666).moving);
    motion = estimate.At(8667);
    EXPECT_FALSE(motion.moving);
    EXPECT_DOUBLE_EQ(motion.angle, 20.0);

    // A time-out keeps its end time: the motor drives for that long whatever its speed.
    estimate.OnMessage(std::array<std::uint8_t, 4>{0xE0, 0x31, 0x68, 0x0A}, 10000);
    estimate.SetSpeed(1.0, 12000);  // at 26 degrees
    motion = estimate.At(15000);
    EXPECT_NEAR(motion.angle, 29.0, 1e-9);
    EXPECT_NEAR(*motion.target, 34.0, 1e-9);
    EXPECT_NEAR(*motion.secondsLeft, 5.0, 1e-9);
    EXPECT_NEAR(estimate.At(30000).angle, 34.0, 1e-9);

    // Nonsense is refused, the speed stays.
    for (const double bad : {0.0, -1.0, std::nan(""), std::numeric_limits<double>::infinity()})
        estimate.SetSpeed(bad, 31000);
    EXPECT_DOUBLE_EQ(estimate.Speed(), 1.0);
}

// A position stored before this run: the motor turns, nobody knows where to. The card's motor,
// fresh, has no such position and stays; a real one moves, so the estimate shows a movement
// without target for as long as the farthest turn in the range could take, and drops the
// reference until the dish reaches a limit set while it had one.
TEST(DishMotionEstimate, GotoAPositionNotStoredInThisRunLosesTheReference) {
    CDishMotionEstimate estimate(15.0, true);
    estimate.OnMessage(std::array<std::uint8_t, 3>{0xE0, 0x31, 0x66}, 0);  // east limit here
    estimate.OnMessage(std::array<std::uint8_t, 4>{0xE0, 0x31, 0x6B, 0x07}, 1000);
    DishMotion motion = estimate.At(2000);
    EXPECT_TRUE(motion.moving);
    EXPECT_FALSE(motion.target || motion.secondsLeft);
    EXPECT_FALSE(motion.referenced);
    EXPECT_DOUBLE_EQ(motion.angle, 15.0);
    // From 15 degrees the farthest is the west end, 90 degrees away: 60 s at 1.5 degrees/s.
    EXPECT_TRUE(estimate.At(60999).moving);
    motion = estimate.At(61000);
    EXPECT_FALSE(motion.moving);
    EXPECT_FALSE(motion.referenced);

    estimate.OnMessage(std::array<std::uint8_t, 4>{0xE0, 0x31, 0x69, 0x02}, 62000);
    motion = estimate.At(64000);
    EXPECT_DOUBLE_EQ(motion.angle, 12.0);
    EXPECT_FALSE(motion.referenced);
    estimate.OnMessage(std::array<std::uint8_t, 4>{0xE0, 0x31, 0x68, 0x00}, 65000);
    motion = estimate.At(67000);
    EXPECT_FALSE(motion.moving);
    EXPECT_DOUBLE_EQ(motion.angle, 15.0);
    EXPECT_TRUE(motion.referenced);
}

TEST(DishMotionEstimate, StartsWhereItIsToldAndTimeNeverRunsBack) {
    CDishMotionEstimate estimate(-12.5, true);
    DishMotion motion = estimate.At(0);
    EXPECT_DOUBLE_EQ(motion.angle, -12.5);
    EXPECT_TRUE(motion.referenced);
    EXPECT_FALSE(motion.moving);
    estimate.OnMessage(std::array<std::uint8_t, 4>{0xE0, 0x31, 0x68, 0x00}, 10000);
    // An earlier time than the last message counts as that message's time.
    EXPECT_DOUBLE_EQ(estimate.At(5000).angle, -12.5);
    EXPECT_DOUBLE_EQ(estimate.At(12000).angle, -9.5);
}

// The window reads while the driver thread reports messages: every reading is a state the
// motor could be in (within the mechanical range, at rest or moving towards a target).
TEST(DishMotionEstimate, ReadsWhileMessagesArrive) {
    constexpr std::uint64_t kMessages = 2000;
    constexpr std::uint64_t kEveryMs = 250;
    CDishMotionEstimate estimate;
    std::atomic<std::uint64_t> sentMs{0};
    std::thread driver([&] {
        const Bytes messages[] = {{0xE0, 0x31, 0x68, 0x00},
                                  {0xE0, 0x31, 0x69, 0x05},
                                  {0xE1, 0x31, 0x6E, 0xE1, 0x40},
                                  {0xE0, 0x31, 0x60}};
        for (std::uint64_t i = 1; i <= kMessages; ++i) {
            estimate.OnMessage(messages[i % 4], i * kEveryMs);
            sentMs.store(i * kEveryMs);
        }
    });
    bool inRange = true;
    while (inRange && sentMs.load() < kMessages * kEveryMs) {
        const DishMotion motion = estimate.At(sentMs.load());
        inRange =
            std::fabs(motion.angle) <= CDishMotionEstimate::kMechanicalRange &&
            (!motion.target || std::fabs(*motion.target) <= CDishMotionEstimate::kMechanicalRange);
    }
    driver.join();
    EXPECT_TRUE(inRange);
}

}  // namespace
