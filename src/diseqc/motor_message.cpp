#include "diseqc/motor_message.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace diseqc {
namespace {

constexpr std::uint8_t kPositioner = 0x31;  // address: polar/azimuth positioner

// Sixteenths of a degree for each tenth: the tenth times 1.6, rounded to the nearest.
constexpr std::array<std::uint8_t, 10> kFractionNibble = {0x0, 0x2, 0x3, 0x5, 0x6,
                                                          0x8, 0xA, 0xB, 0xD, 0xE};

MotorMessage Build(Framing framing, std::uint8_t command,
                   std::optional<std::uint8_t> data = std::nullopt) {
    MotorMessage message;
    message.bytes[0] =
        static_cast<std::uint8_t>(framing);  // from master, no reply, first or repeat
    message.bytes[1] = kPositioner;          // polar/azimuth positioner
    message.bytes[2] = command;
    message.length = 3;
    if (data) message.bytes[message.length++] = *data;
    return message;
}

std::uint8_t DriveCommand(Direction direction) {
    return direction == Direction::East ? 0x68   // drive east
                                        : 0x69;  // drive west
}

}  // namespace

MotorMessage Halt(Framing framing) {
    return Build(framing, 0x60);  // stop the motor
}

MotorMessage LimitsOff(Framing framing) {
    return Build(framing, 0x63);  // disable the soft limits
}

MotorMessage SetLimit(Framing framing, Direction side) {
    return Build(framing, side == Direction::East ? 0x66    // set east limit here
                                                  : 0x67);  // set west limit here
}

MotorMessage DriveSteps(Framing framing, Direction direction, int steps) {
    const int clamped = std::clamp(steps, 1, kMaxDriveSteps);
    // 80..FF counts steps back from 256: FF is one step, 80 is 128.
    return Build(framing, DriveCommand(direction), static_cast<std::uint8_t>(256 - clamped));
}

MotorMessage DriveSeconds(Framing framing, Direction direction, int seconds) {
    // 01..7F: a time-out in seconds.
    return Build(framing, DriveCommand(direction),
                 static_cast<std::uint8_t>(std::clamp(seconds, 1, kMaxDriveSeconds)));
}

MotorMessage StorePosition(Framing framing, std::uint8_t position) {
    return Build(framing, 0x6A, position);  // store the present position as number nn
}

MotorMessage GotoPosition(Framing framing, std::uint8_t position) {
    return Build(framing, 0x6B, position);  // drive to stored position nn
}

std::array<std::uint8_t, 5> GotoAngle(double motorAngle) {
    const double magnitude = std::fabs(motorAngle);
    const int whole = static_cast<int>(magnitude);
    // At most 9 even if (magnitude - whole) * 10 rounds up to 10.
    const int tenth = std::min(static_cast<int>((magnitude - whole) * 10.0), 9);
    return {
        static_cast<std::uint8_t>(Framing::Repeat),  // from master, no reply, repeated transmission
        kPositioner,                                 // polar/azimuth positioner
        0x6E,                                        // goto angular position
        static_cast<std::uint8_t>((motorAngle > 0.0 ? 0xD0 : 0xE0) |
                                  ((whole >> 4) & 0x0F)),  // direction, degrees high nibble
        static_cast<std::uint8_t>(
            ((whole & 0x0F) << 4) |
            kFractionNibble[static_cast<std::size_t>(tenth)]),  // degrees low nibble, sixteenths
    };
}

std::optional<MotorCommand> DecodeMotorMessage(std::span<const std::uint8_t> message) {
    if (message.size() < 3) return std::nullopt;
    // E0..E3: from the master, reply or not, first or repeated: the motor obeys each alike.
    if (message[0] < 0xE0 || message[0] > 0xE3) return std::nullopt;
    const std::uint8_t address = message[1];
    if (address != 0x00 && address != 0x30 && address != kPositioner) return std::nullopt;
    const std::uint8_t code = message[2];
    const auto withData = [&](MotorCommandKind kind,
                              Direction direction =
                                  Direction::East) -> std::optional<MotorCommand> {
        if (message.size() < 4) return std::nullopt;
        return MotorCommand{kind, direction, message[3]};
    };
    switch (code) {
        case 0x60:
            return MotorCommand{MotorCommandKind::Halt};
        case 0x63:
            return MotorCommand{MotorCommandKind::LimitsOff};
        case 0x66:
            return MotorCommand{MotorCommandKind::SetLimit, Direction::East};
        case 0x67:
            return MotorCommand{MotorCommandKind::SetLimit, Direction::West};
        case 0x68:
            return withData(MotorCommandKind::Drive, Direction::East);
        case 0x69:
            return withData(MotorCommandKind::Drive, Direction::West);
        case 0x6A: {
            std::optional<MotorCommand> command = withData(MotorCommandKind::Store);
            if (command && command->data == 0) command = MotorCommand{MotorCommandKind::LimitsOn};
            return command;
        }
        case 0x6B:
            return withData(MotorCommandKind::Goto);
        case 0x6E: {
            if (message.size() < 5) return std::nullopt;
            const int nibble = message[3] >> 4;
            if (nibble != 0xD && nibble != 0xE) return std::nullopt;
            const int degrees = ((message[3] & 0x0F) << 4) | (message[4] >> 4);
            const double magnitude = degrees + (message[4] & 0x0F) / 16.0;
            MotorCommand command{MotorCommandKind::GotoAngle};
            command.angle = nibble == 0xE ? magnitude : -magnitude;
            return command;
        }
        default:
            return std::nullopt;
    }
}

}  // namespace diseqc
