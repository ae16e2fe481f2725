#include "drivers/sim/sim_diseqc_command.h"

#include <fmt/format.h>

namespace {

bool IsSwitchAddress(std::uint8_t address) {
    return address == 0x00 || (address >= 0x10 && address <= 0x17);
}
bool IsPositionerAddress(std::uint8_t address) {
    return address == 0x00 || address == 0x30 || address == 0x31;
}

SimDiseqcCommand Ignored(std::string why) {
    SimDiseqcCommand command;
    command.meaning = std::move(why);
    return command;
}

}  // namespace

std::string DescribeDrive(bool east, std::uint8_t data) {
    const char* direction = east ? "east" : "west";
    if (data == 0) return fmt::format("{} continuously", direction);
    if (data < 0x80) return fmt::format("{}, time-out {} s", direction, data);
    const int steps = 256 - data;
    return fmt::format("{} {} step{}", direction, steps, steps == 1 ? "" : "s");
}

std::size_t DiseqcLengthOfCommand(std::uint8_t command) {
    switch (command) {
        case 0x38:
        case 0x39:
        case 0x68:
        case 0x69:
        case 0x6A:
        case 0x6B:
            return 4;
        case 0x6E:
            return 5;
        default:
            return 3;
    }
}

SimDiseqcCommand DecodeDiseqcCommand(std::span<const std::uint8_t> message) {
    if (message.size() < 3) return Ignored("too short, ignored");
    if (message[0] < 0xE0 || message[0] > 0xE3)
        return Ignored("not a command from the master, ignored");
    const std::uint8_t address = message[1];
    const std::uint8_t code = message[2];
    const std::size_t needed = DiseqcLengthOfCommand(code);
    const bool switchCommand = code == 0x38;
    const bool positionerCommand = code == 0x60 || code == 0x63 || code == 0x66 || code == 0x67 ||
                                   (code >= 0x68 && code <= 0x6B) || code == 0x6E;
    if (!(switchCommand && IsSwitchAddress(address)) &&
        !(positionerCommand && IsPositionerAddress(address))) {
        return Ignored(fmt::format("command {:02X} for address {:02X}, ignored", code, address));
    }
    if (message.size() < needed)
        return Ignored(fmt::format("command {:02X} without its data, ignored", code));

    SimDiseqcCommand command;
    switch (code) {
        case 0x38: {
            const std::uint8_t d = message[3];
            command.kind = SimDiseqcKind::CommittedSwitch;
            command.port = (d >> 2) & 0x03;
            command.horizontal = (d & 0x02) != 0;
            command.highBand = (d & 0x01) != 0;
            command.meaning = fmt::format(
                "committed switch port {}, {}, {} band", static_cast<char>('A' + command.port),
                command.horizontal ? "horizontal" : "vertical", command.highBand ? "high" : "low");
            return command;
        }
        case 0x60:
            command.kind = SimDiseqcKind::Halt;
            command.meaning = "motor halt";
            return command;
        case 0x63:
            command.kind = SimDiseqcKind::LimitsOff;
            command.meaning = "motor limits off";
            return command;
        case 0x66:
            command.kind = SimDiseqcKind::SetEastLimit;
            command.meaning = "motor set east limit";
            return command;
        case 0x67:
            command.kind = SimDiseqcKind::SetWestLimit;
            command.meaning = "motor set west limit";
            return command;
        case 0x68:
        case 0x69:
            command.kind = code == 0x68 ? SimDiseqcKind::DriveEast : SimDiseqcKind::DriveWest;
            command.data = message[3];
            command.meaning = "motor drive " + DescribeDrive(code == 0x68, command.data);
            return command;
        case 0x6A:
            command.data = message[3];
            command.kind = command.data == 0 ? SimDiseqcKind::LimitsOn : SimDiseqcKind::Store;
            command.meaning = command.data == 0
                                  ? std::string("motor limits on")
                                  : fmt::format("motor store position {}", command.data);
            return command;
        case 0x6B:
            command.kind = SimDiseqcKind::Goto;
            command.data = message[3];
            command.meaning = command.data == 0
                                  ? std::string("motor goto reference position 0")
                                  : fmt::format("motor goto position {}", command.data);
            return command;
        case 0x6E: {
            const std::uint8_t high = message[3];
            const std::uint8_t low = message[4];
            const int direction = high >> 4;
            const int degrees = ((high & 0x0F) << 4) | (low >> 4);
            const double angle = degrees + (low & 0x0F) / 16.0;
            if (direction != 0xE && direction != 0xD) {
                return Ignored(
                    fmt::format("motor goto angle with direction nibble {:X}, ignored", direction));
            }
            command.kind = SimDiseqcKind::GotoAngle;
            command.angle = direction == 0xE ? angle : -angle;
            command.meaning = fmt::format("motor goto angle {:.4f} deg {}", angle,
                                          direction == 0xE ? "east" : "west");
            return command;
        }
        default:
            break;
    }
    return Ignored(fmt::format("command {:02X}, ignored", code));
}
