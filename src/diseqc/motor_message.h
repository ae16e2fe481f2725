#pragma once
// The DiSEqC 1.2 positioner commands the program sends to a dish motor (address 31, the
// polar/azimuth positioner): halt, limits, drive, stored positions, and goto angle.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "platform/diseqc/diseqc_bytes.h"

namespace diseqc {

enum class Direction { East, West };

// Framing, address, command and at most one data byte.
struct MotorMessage {
    std::array<std::uint8_t, 4> bytes{};
    std::size_t length = 0;

    std::span<const std::uint8_t> Span() const { return {bytes.data(), length}; }
    friend bool operator==(const MotorMessage&, const MotorMessage&) = default;
};

inline constexpr int kMaxDriveSteps = 128;
inline constexpr int kMaxDriveSeconds = 127;

MotorMessage Halt(Framing framing);
MotorMessage LimitsOff(Framing framing);
// Makes the motor's present position the limit on that side.
MotorMessage SetLimit(Framing framing, Direction side);
// `steps` 1..kMaxDriveSteps (clamped into that range: 0 would mean "drive on").
MotorMessage DriveSteps(Framing framing, Direction direction, int steps);
// Drives until `seconds` 1..kMaxDriveSeconds (clamped likewise) have passed or a limit is reached.
MotorMessage DriveSeconds(Framing framing, Direction direction, int seconds);
// Position 0 is special to the motor: storing it switches the limits on, going to it turns to the
// reference position (0 degrees).
MotorMessage StorePosition(Framing framing, std::uint8_t position);
MotorMessage GotoPosition(Framing framing, std::uint8_t position);

// The goto-angle message (repeated-transmission framing) for a motor angle in degrees
// (|motorAngle| < 256): direction D0 for a positive angle, else E0 (0 degrees is E0 00), then
// whole degrees and the tenth as sixteenths.
std::array<std::uint8_t, 5> GotoAngle(double motorAngle);

// What a positioner message asks of the motor, read back from its bytes (any of the four master
// framings E0..E3; addresses 00 any device, 30 any positioner, 31 polar/azimuth positioner).
enum class MotorCommandKind {
    Halt,       // 60
    LimitsOff,  // 63
    LimitsOn,   // 6A 00: storing position 0 switches the limits on
    SetLimit,   // 66 east, 67 west
    Drive,      // 68 east, 69 west, nn: 00 on until halted, 01..7F seconds, 80..FF 256 - nn steps
    Store,      // 6A nn, nn > 0
    Goto,       // 6B nn (00: the reference position, 0 degrees)
    GotoAngle,  // 6E, direction and degrees, degrees and sixteenths
};

struct MotorCommand {
    MotorCommandKind kind = MotorCommandKind::Halt;
    Direction direction = Direction::East;  // SetLimit and Drive
    std::uint8_t data = 0;                  // Drive, Store and Goto
    // GotoAngle: degrees in the motor's own sense, positive east (direction nibble E, negative
    // for D). That is the opposite sign of GotoAngle's argument, which counts D0 positive.
    double angle = 0;
    friend bool operator==(const MotorCommand&, const MotorCommand&) = default;
};

// Empty for anything the motor does not act on: not from the master, another address, a switch
// or unknown command, a command without its data, or a goto angle whose direction nibble is
// neither D nor E.
std::optional<MotorCommand> DecodeMotorMessage(std::span<const std::uint8_t> message);

}  // namespace diseqc
