// The positioner's DiSEqC 1.2 messages, byte for byte: every command, both framings, the ends of
// every argument's range and what lies beyond them.
#include "diseqc/motor_message.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {

using diseqc::Direction;
using diseqc::Framing;
using Bytes = std::vector<std::uint8_t>;

Bytes BytesOf(const diseqc::MotorMessage& message) {
    return Bytes(message.Span().begin(), message.Span().end());
}

struct MotorCase {
    std::string name;
    diseqc::MotorMessage message;
    Bytes expected;
};

std::vector<MotorCase> MotorCases() {
    constexpr auto E0 = Framing::First;
    constexpr auto E1 = Framing::Repeat;
    constexpr auto East = Direction::East;
    constexpr auto West = Direction::West;
    return {
        {"Halt", diseqc::Halt(E0), {0xE0, 0x31, 0x60}},
        {"HaltRepeated", diseqc::Halt(E1), {0xE1, 0x31, 0x60}},
        {"LimitsOff", diseqc::LimitsOff(E0), {0xE0, 0x31, 0x63}},
        {"LimitsOffRepeated", diseqc::LimitsOff(E1), {0xE1, 0x31, 0x63}},
        {"SetEastLimit", diseqc::SetLimit(E0, East), {0xE0, 0x31, 0x66}},
        {"SetWestLimit", diseqc::SetLimit(E1, West), {0xE1, 0x31, 0x67}},
        // Steps count back from 256: FF one step, 80 the most, 128.
        {"DriveEastOneStep", diseqc::DriveSteps(E0, East, 1), {0xE0, 0x31, 0x68, 0xFF}},
        {"DriveEastTwoSteps", diseqc::DriveSteps(E0, East, 2), {0xE0, 0x31, 0x68, 0xFE}},
        {"DriveEast127Steps", diseqc::DriveSteps(E0, East, 127), {0xE0, 0x31, 0x68, 0x81}},
        {"DriveEast128Steps", diseqc::DriveSteps(E0, East, 128), {0xE0, 0x31, 0x68, 0x80}},
        {"DriveWestOneStepRepeated", diseqc::DriveSteps(E1, West, 1), {0xE1, 0x31, 0x69, 0xFF}},
        {"DriveWest128Steps", diseqc::DriveSteps(E0, West, 128), {0xE0, 0x31, 0x69, 0x80}},
        // Outside 1..128 the count is clamped: 00 would drive on, 7F and below are seconds.
        {"ZeroStepsIsOneStep", diseqc::DriveSteps(E0, East, 0), {0xE0, 0x31, 0x68, 0xFF}},
        {"NegativeStepsIsOneStep", diseqc::DriveSteps(E0, West, -3), {0xE0, 0x31, 0x69, 0xFF}},
        {"Steps129Is128", diseqc::DriveSteps(E0, East, 129), {0xE0, 0x31, 0x68, 0x80}},
        {"Steps1000Is128", diseqc::DriveSteps(E0, West, 1000), {0xE0, 0x31, 0x69, 0x80}},
        // Time-outs are seconds 01..7F; the drive buttons use 80 s (50).
        {"DriveEastOneSecond", diseqc::DriveSeconds(E0, East, 1), {0xE0, 0x31, 0x68, 0x01}},
        {"DriveEast80Seconds", diseqc::DriveSeconds(E0, East, 80), {0xE0, 0x31, 0x68, 0x50}},
        {"DriveEast127Seconds", diseqc::DriveSeconds(E0, East, 127), {0xE0, 0x31, 0x68, 0x7F}},
        {"DriveWest80SecondsRepeated",
         diseqc::DriveSeconds(E1, West, 80),
         {0xE1, 0x31, 0x69, 0x50}},
        {"DriveWest127Seconds", diseqc::DriveSeconds(E0, West, 127), {0xE0, 0x31, 0x69, 0x7F}},
        {"ZeroSecondsIsOneSecond", diseqc::DriveSeconds(E0, East, 0), {0xE0, 0x31, 0x68, 0x01}},
        {"Seconds128Is127", diseqc::DriveSeconds(E0, West, 128), {0xE0, 0x31, 0x69, 0x7F}},
        // Positions: the whole byte, 0 included (limits on, reference position).
        {"StorePosition0", diseqc::StorePosition(E0, 0), {0xE0, 0x31, 0x6A, 0x00}},
        {"StorePosition1", diseqc::StorePosition(E0, 1), {0xE0, 0x31, 0x6A, 0x01}},
        {"StorePosition127", diseqc::StorePosition(E0, 127), {0xE0, 0x31, 0x6A, 0x7F}},
        {"StorePosition128Repeated", diseqc::StorePosition(E1, 128), {0xE1, 0x31, 0x6A, 0x80}},
        {"StorePosition255", diseqc::StorePosition(E0, 255), {0xE0, 0x31, 0x6A, 0xFF}},
        {"GotoPosition0", diseqc::GotoPosition(E0, 0), {0xE0, 0x31, 0x6B, 0x00}},
        {"GotoPosition1Repeated", diseqc::GotoPosition(E1, 1), {0xE1, 0x31, 0x6B, 0x01}},
        {"GotoPosition128", diseqc::GotoPosition(E0, 128), {0xE0, 0x31, 0x6B, 0x80}},
        {"GotoPosition255", diseqc::GotoPosition(E0, 255), {0xE0, 0x31, 0x6B, 0xFF}},
    };
}

class MotorMessageTable : public ::testing::TestWithParam<MotorCase> {};

TEST_P(MotorMessageTable, HasTheCommandsBytesAndNothingMore) {
    EXPECT_EQ(BytesOf(GetParam().message), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(EveryCommand, MotorMessageTable, ::testing::ValuesIn(MotorCases()),
                         [](const auto& item) { return item.param.name; });

using AngleMessage = std::array<std::uint8_t, 5>;

struct AngleCase {
    std::string name;
    double angle;
    AngleMessage expected;
};

std::vector<AngleCase> AngleCases() {
    std::vector<AngleCase> cases = {
        // 0 degrees either way is E0 00: only a positive angle turns D0.
        {"PlusZero", 0.0, {0xE1, 0x31, 0x6E, 0xE0, 0x00}},
        {"MinusZero", -0.0, {0xE1, 0x31, 0x6E, 0xE0, 0x00}},
        {"Plus0_05", 0.05, {0xE1, 0x31, 0x6E, 0xD0, 0x00}},
        {"Minus0_05", -0.05, {0xE1, 0x31, 0x6E, 0xE0, 0x00}},
        // Degrees split over the two bytes: 16 is the first to reach the high nibble.
        {"Plus15_99", 15.99, {0xE1, 0x31, 0x6E, 0xD0, 0xFE}},
        {"Plus16", 16.0, {0xE1, 0x31, 0x6E, 0xD1, 0x00}},
        {"Plus64_9", 64.9, {0xE1, 0x31, 0x6E, 0xD4, 0x0E}},
        {"Minus64_9", -64.9, {0xE1, 0x31, 0x6E, 0xE4, 0x0E}},
        {"Minus64_99", -64.99, {0xE1, 0x31, 0x6E, 0xE4, 0x0E}},
        {"Minus10_15", -10.15, {0xE1, 0x31, 0x6E, 0xE0, 0xA2}},
        {"Plus255_9", 255.9, {0xE1, 0x31, 0x6E, 0xDF, 0xFE}},
        {"Minus255_9", -255.9, {0xE1, 0x31, 0x6E, 0xEF, 0xFE}},
        // The tenth is cut, not rounded: 10.1 is stored a hair below and reads as 10.0; just
        // below 1 is tenth 9, never 10.
        {"Plus10_1CutToTheTenthBelow", 10.1, {0xE1, 0x31, 0x6E, 0xD0, 0xA0}},
        {"JustBelowOne", std::nextafter(1.0, 0.0), {0xE1, 0x31, 0x6E, 0xD0, 0x0E}},
    };
    // Each tenth in sixteenths, rounded to the nearest: 0 2 3 5 6 8 A B D E. 23 degrees and the
    // tenth, a little above it so that the decimal value is not cut below.
    const std::uint8_t sixteenths[10] = {0x0, 0x2, 0x3, 0x5, 0x6, 0x8, 0xA, 0xB, 0xD, 0xE};
    for (int tenth = 0; tenth < 10; ++tenth) {
        const double angle = 23.0 + tenth / 10.0 + 0.05;
        const auto low = static_cast<std::uint8_t>(0x70 | sixteenths[tenth]);
        cases.push_back({fmt::format("East23_{}", tenth), angle, {0xE1, 0x31, 0x6E, 0xD1, low}});
        cases.push_back({fmt::format("West23_{}", tenth), -angle, {0xE1, 0x31, 0x6E, 0xE1, low}});
    }
    return cases;
}

class GotoAngleTable : public ::testing::TestWithParam<AngleCase> {};

TEST_P(GotoAngleTable, SplitsDirectionDegreesAndSixteenths) {
    EXPECT_EQ(diseqc::GotoAngle(GetParam().angle), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Angles, GotoAngleTable, ::testing::ValuesIn(AngleCases()),
                         [](const auto& item) { return item.param.name; });

using diseqc::MotorCommand;
using diseqc::MotorCommandKind;

struct DecodeCase {
    std::string name;
    Bytes message;
    std::optional<MotorCommand> expected;
};

MotorCommand Command(MotorCommandKind kind, Direction direction = Direction::East,
                     std::uint8_t data = 0) {
    return MotorCommand{kind, direction, data};
}

MotorCommand AngleCommand(double angle) {
    MotorCommand command{MotorCommandKind::GotoAngle};
    command.angle = angle;
    return command;
}

std::vector<DecodeCase> DecodeCases() {
    constexpr auto East = Direction::East;
    constexpr auto West = Direction::West;
    return {
        {"Halt", {0xE0, 0x31, 0x60}, Command(MotorCommandKind::Halt)},
        // Reply-requested framings are still commands from the master.
        {"HaltReplyRequested", {0xE3, 0x31, 0x60}, Command(MotorCommandKind::Halt)},
        {"HaltToAnyDevice", {0xE0, 0x00, 0x60}, Command(MotorCommandKind::Halt)},
        {"HaltToAnyPositioner", {0xE0, 0x30, 0x60}, Command(MotorCommandKind::Halt)},
        {"LimitsOff", {0xE0, 0x31, 0x63}, Command(MotorCommandKind::LimitsOff)},
        {"SetEastLimit", {0xE0, 0x31, 0x66}, Command(MotorCommandKind::SetLimit, East)},
        {"SetWestLimit", {0xE1, 0x31, 0x67}, Command(MotorCommandKind::SetLimit, West)},
        {"DriveEastContinuously",
         {0xE0, 0x31, 0x68, 0x00},
         Command(MotorCommandKind::Drive, East, 0x00)},
        {"DriveWestSeconds",
         {0xE0, 0x31, 0x69, 0x7F},
         Command(MotorCommandKind::Drive, West, 0x7F)},
        {"DriveEastOneStep",
         {0xE0, 0x31, 0x68, 0xFF},
         Command(MotorCommandKind::Drive, East, 0xFF)},
        {"DriveWestMostSteps",
         {0xE0, 0x31, 0x69, 0x80},
         Command(MotorCommandKind::Drive, West, 0x80)},
        // Storing position 0 is how the limits are switched on again.
        {"StoreZeroIsLimitsOn", {0xE0, 0x31, 0x6A, 0x00}, Command(MotorCommandKind::LimitsOn)},
        {"StoreOne", {0xE0, 0x31, 0x6A, 0x01}, Command(MotorCommandKind::Store, East, 0x01)},
        {"GotoReference", {0xE0, 0x31, 0x6B, 0x00}, Command(MotorCommandKind::Goto, East, 0x00)},
        // E east (positive), D west; whole degrees over both bytes, then sixteenths.
        {"GotoAngleEast10_125", {0xE1, 0x31, 0x6E, 0xE0, 0xA2}, AngleCommand(10.125)},
        {"GotoAngleWest16_375", {0xE1, 0x31, 0x6E, 0xD1, 0x06}, AngleCommand(-16.375)},
        {"GotoAngleZero", {0xE1, 0x31, 0x6E, 0xE0, 0x00}, AngleCommand(0.0)},
        {"GotoAngleLargest", {0xE1, 0x31, 0x6E, 0xEF, 0xFF}, AngleCommand(255.9375)},
        // Not for the motor, or not complete.
        {"TooShort", {0xE0, 0x31}, std::nullopt},
        {"NotFromTheMaster", {0xE4, 0x31, 0x60}, std::nullopt},
        {"BelowTheMastersFramings", {0xDF, 0x31, 0x60}, std::nullopt},
        {"SwitchAddress", {0xE0, 0x10, 0x60}, std::nullopt},
        {"ElevationPositioner", {0xE0, 0x32, 0x60}, std::nullopt},
        {"CommittedSwitch", {0xE0, 0x10, 0x38, 0xF0}, std::nullopt},
        {"UnknownCommand", {0xE0, 0x31, 0x61}, std::nullopt},
        {"DriveWithoutData", {0xE0, 0x31, 0x68}, std::nullopt},
        {"StoreWithoutData", {0xE0, 0x31, 0x6A}, std::nullopt},
        {"GotoAngleWithoutFraction", {0xE1, 0x31, 0x6E, 0xE0}, std::nullopt},
        {"GotoAngleDirectionNibble0", {0xE1, 0x31, 0x6E, 0x00, 0xA2}, std::nullopt},
        {"GotoAngleDirectionNibbleF", {0xE1, 0x31, 0x6E, 0xF0, 0xA2}, std::nullopt},
    };
}

void PrintTo(const DecodeCase& c, std::ostream* out) {
    *out << c.name;
}

class DecodeMotorMessageTable : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeMotorMessageTable, ReadsWhatTheMotorIsAskedToDo) {
    EXPECT_EQ(diseqc::DecodeMotorMessage(GetParam().message), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(EveryCommand, DecodeMotorMessageTable, ::testing::ValuesIn(DecodeCases()),
                         [](const auto& item) { return item.param.name; });

// The goto angle reads back with the sign turned round (GotoAngle counts D0 positive, the motor
// counts east, E0, positive) and to the sixteenth nearest the tenth it was cut to.
TEST(DecodeMotorMessage, ReadsBackTheGotoAngleInTheMotorsSense) {
    for (int tenths = -800; tenths <= 800; ++tenths) {
        const double angle = tenths / 10.0 + 0.01;  // clear of the cut to the tenth below
        const auto decoded = diseqc::DecodeMotorMessage(diseqc::GotoAngle(angle));
        ASSERT_TRUE(decoded) << angle;
        ASSERT_EQ(decoded->kind, MotorCommandKind::GotoAngle);
        // A tenth in sixteenths is off by at most half a sixteenth.
        const double cut = std::trunc(std::fabs(angle) * 10.0) / 10.0;
        EXPECT_NEAR(decoded->angle, angle > 0 ? -cut : cut, 1.0 / 32.0 + 1e-12) << angle;
    }
}

}  // namespace
