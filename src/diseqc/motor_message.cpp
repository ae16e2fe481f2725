#include "diseqc/motor_message.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace diseqc {
namespace {

// Sixteenths of a degree for each tenth: the tenth times 1.6, rounded to the nearest.
constexpr std::array<std::uint8_t, 10> kFractionNibble = {0x0, 0x2, 0x3, 0x5, 0x6,
                                                          0x8, 0xA, 0xB, 0xD, 0xE};

MotorMessage Build(Framing framing, std::uint8_t code,
                   std::optional<std::uint8_t> data = std::nullopt) {
    MotorMessage message;
    message.bytes[0] = static_cast<std::uint8_t>(framing);
    message.bytes[1] = address::kPolarAzimuthPositioner;
    message.bytes[2] = code;
    message.length = 3;
    if (data) message.bytes[message.length++] = *data;
    return message;
}

std::uint8_t DriveCommand(Direction direction) {
    return direction == Direction::East ? command::kDriveEast : command::kDriveWest;
}

}  // namespace

MotorMessage Halt(Framing framing) {
    return Build(framing, command::kHalt);
}

MotorMessage LimitsOff(Framing framing) {
    return Build(framing, command::kLimitsOff);
}

MotorMessage SetLimit(Framing framing, Direction side) {
    return Build(framing, side == Direction::East ? command::kLimitE : command::kLimitW);
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
    return Build(framing, command::kStoreNn, position);
}

MotorMessage GotoPosition(Framing framing, std::uint8_t position) {
    return Build(framing, command::kGotoNn, position);
}

std::array<std::uint8_t, 5> GotoAngle(double motorAngle) {
    const double magnitude = std::fabs(motorAngle);
    const int whole = static_cast<int>(magnitude);
    // At most 9 even if (magnitude - whole) * 10 rounds up to 10.
    const int tenth = std::min(static_cast<int>((magnitude - whole) * 10.0), 9);
    return {
        static_cast<std::uint8_t>(Framing::Repeat),
        address::kPolarAzimuthPositioner,
        command::kGotoXx,
        static_cast<std::uint8_t>((motorAngle > 0.0 ? goto_xx::kWest : goto_xx::kEast) << 4 |
                                  ((whole >> 4) & 0x0F)),  // direction, degrees high nibble
        static_cast<std::uint8_t>(
            ((whole & 0x0F) << 4) |
            kFractionNibble[static_cast<std::size_t>(tenth)]),  // degrees low nibble, sixteenths
    };
}

std::optional<MotorCommand> DecodeMotorMessage(std::span<const std::uint8_t> message) {
    if (message.size() < 3) return std::nullopt;
    if (!IsCommandFromMaster(message[0])) return std::nullopt;
    const std::uint8_t to = message[1];
    if (to != address::kAnyDevice && to != address::kAnyPositioner &&
        to != address::kPolarAzimuthPositioner)
        return std::nullopt;
    const std::uint8_t code = message[2];
    const auto withData = [&](MotorCommandKind kind,
                              Direction direction =
                                  Direction::East) -> std::optional<MotorCommand> {
        if (message.size() < 4) return std::nullopt;
        return MotorCommand{kind, direction, message[3]};
    };
    switch (code) {
        case command::kHalt:
            return MotorCommand{MotorCommandKind::Halt};
        case command::kLimitsOff:
            return MotorCommand{MotorCommandKind::LimitsOff};
        case command::kLimitE:
            return MotorCommand{MotorCommandKind::SetLimit, Direction::East};
        case command::kLimitW:
            return MotorCommand{MotorCommandKind::SetLimit, Direction::West};
        case command::kDriveEast:
            return withData(MotorCommandKind::Drive, Direction::East);
        case command::kDriveWest:
            return withData(MotorCommandKind::Drive, Direction::West);
        case command::kStoreNn: {
            std::optional<MotorCommand> store = withData(MotorCommandKind::Store);
            if (store && store->data == kReferencePosition)
                store = MotorCommand{MotorCommandKind::LimitsOn};
            return store;
        }
        case command::kGotoNn:
            return withData(MotorCommandKind::Goto);
        case command::kGotoXx: {
            if (message.size() < 5) return std::nullopt;
            const int nibble = message[3] >> 4;
            if (nibble != goto_xx::kWest && nibble != goto_xx::kEast) return std::nullopt;
            const int degrees = ((message[3] & 0x0F) << 4) | (message[4] >> 4);
            const double magnitude = degrees + (message[4] & 0x0F) / 16.0;
            MotorCommand gotoAngle{MotorCommandKind::GotoAngle};
            gotoAngle.angle = nibble == goto_xx::kEast ? magnitude : -magnitude;
            return gotoAngle;
        }
        default:
            return std::nullopt;
    }
}

}  // namespace diseqc
