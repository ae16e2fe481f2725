#include "drivers/sim/sim_diseqc_command.h"

#include <fmt/format.h>

#include "platform/diseqc/diseqc_bytes.h"

namespace {

namespace address = diseqc::address;
namespace command = diseqc::command;

// The simulated switches answer the LNB and switcher addresses, not SMATV's.
bool IsSwitchAddress(std::uint8_t to) {
    return to == address::kAnyDevice ||
           (to >= address::kAnyLnbSwitcherSmatv && to < address::kSmatv);
}
bool IsPositionerAddress(std::uint8_t to) {
    return to == address::kAnyDevice || to == address::kAnyPositioner ||
           to == address::kPolarAzimuthPositioner;
}

SimDiseqcCommand Ignored(std::string why) {
    SimDiseqcCommand ignored;
    ignored.meaning = std::move(why);
    return ignored;
}

}  // namespace

std::string DescribeDrive(bool east, std::uint8_t data) {
    const char* direction = east ? "east" : "west";
    if (data == diseqc::drive::kContinuously) return fmt::format("{} continuously", direction);
    if (data < diseqc::drive::kFirstSteps) return fmt::format("{}, time-out {} s", direction, data);
    const int steps = 256 - data;
    return fmt::format("{} {} step{}", direction, steps, steps == 1 ? "" : "s");
}

std::size_t DiseqcLengthOfCommand(std::uint8_t code) {
    switch (code) {
        case command::kWriteN0:
        case command::kWriteN1:
        case command::kDriveEast:
        case command::kDriveWest:
        case command::kStoreNn:
        case command::kGotoNn:
            return 4;
        case command::kGotoXx:
            return 5;
        default:
            return 3;
    }
}

SimDiseqcCommand DecodeDiseqcCommand(std::span<const std::uint8_t> message) {
    if (message.size() < 3) return Ignored("too short, ignored");
    if (!diseqc::IsCommandFromMaster(message[0]))
        return Ignored("not a command from the master, ignored");
    const std::uint8_t to = message[1];
    const std::uint8_t code = message[2];
    const std::size_t needed = DiseqcLengthOfCommand(code);
    const bool switchCommand = code == command::kWriteN0;
    const bool positionerCommand =
        code == command::kHalt || code == command::kLimitsOff || code == command::kLimitE ||
        code == command::kLimitW || code == command::kDriveEast || code == command::kDriveWest ||
        code == command::kStoreNn || code == command::kGotoNn || code == command::kGotoXx;
    if (!(switchCommand && IsSwitchAddress(to)) &&
        !(positionerCommand && IsPositionerAddress(to))) {
        return Ignored(fmt::format("command {:02X} for address {:02X}, ignored", code, to));
    }
    if (message.size() < needed)
        return Ignored(fmt::format("command {:02X} without its data, ignored", code));

    SimDiseqcCommand decoded;
    switch (code) {
        case command::kWriteN0: {
            const std::uint8_t d = message[3];
            decoded.kind = SimDiseqcKind::CommittedSwitch;
            decoded.port = (d >> diseqc::write_n0::kPortShift) & diseqc::write_n0::kPortMask;
            decoded.horizontal = (d & diseqc::write_n0::kHorizontal) != 0;
            decoded.highBand = (d & diseqc::write_n0::kHighBand) != 0;
            decoded.meaning = fmt::format(
                "committed switch port {}, {}, {} band", static_cast<char>('A' + decoded.port),
                decoded.horizontal ? "horizontal" : "vertical", decoded.highBand ? "high" : "low");
            return decoded;
        }
        case command::kHalt:
            decoded.kind = SimDiseqcKind::Halt;
            decoded.meaning = "motor halt";
            return decoded;
        case command::kLimitsOff:
            decoded.kind = SimDiseqcKind::LimitsOff;
            decoded.meaning = "motor limits off";
            return decoded;
        case command::kLimitE:
            decoded.kind = SimDiseqcKind::SetEastLimit;
            decoded.meaning = "motor set east limit";
            return decoded;
        case command::kLimitW:
            decoded.kind = SimDiseqcKind::SetWestLimit;
            decoded.meaning = "motor set west limit";
            return decoded;
        case command::kDriveEast:
        case command::kDriveWest:
            decoded.kind =
                code == command::kDriveEast ? SimDiseqcKind::DriveEast : SimDiseqcKind::DriveWest;
            decoded.data = message[3];
            decoded.meaning =
                "motor drive " + DescribeDrive(code == command::kDriveEast, decoded.data);
            return decoded;
        case command::kStoreNn:
            decoded.data = message[3];
            decoded.kind = decoded.data == diseqc::kReferencePosition ? SimDiseqcKind::LimitsOn
                                                                      : SimDiseqcKind::Store;
            decoded.meaning = decoded.data == diseqc::kReferencePosition
                                  ? std::string("motor limits on")
                                  : fmt::format("motor store position {}", decoded.data);
            return decoded;
        case command::kGotoNn:
            decoded.kind = SimDiseqcKind::Goto;
            decoded.data = message[3];
            decoded.meaning = decoded.data == diseqc::kReferencePosition
                                  ? std::string("motor goto reference position 0")
                                  : fmt::format("motor goto position {}", decoded.data);
            return decoded;
        case command::kGotoXx: {
            const std::uint8_t high = message[3];
            const std::uint8_t low = message[4];
            const int direction = high >> 4;
            const int degrees = ((high & 0x0F) << 4) | (low >> 4);
            const double angle = degrees + (low & 0x0F) / 16.0;
            if (direction != diseqc::goto_xx::kEast && direction != diseqc::goto_xx::kWest) {
                return Ignored(
                    fmt::format("motor goto angle with direction nibble {:X}, ignored", direction));
            }
            decoded.kind = SimDiseqcKind::GotoAngle;
            decoded.angle = direction == diseqc::goto_xx::kEast ? angle : -angle;
            decoded.meaning = fmt::format("motor goto angle {:.4f} deg {}", angle,
                                          direction == diseqc::goto_xx::kEast ? "east" : "west");
            return decoded;
        }
        default:
            break;
    }
    return Ignored(fmt::format("command {:02X}, ignored", code));
}
