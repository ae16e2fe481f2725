#pragma once
// DiSEqC messages as the simulated card's switch and dish motor understand them: the
// committed-switch command (DiSEqC 1.0) and the positioner commands (DiSEqC 1.2). Pure.
//
// Byte 0 is the framing (E0..E3: from the master), byte 1 the address (00 any device, 10..17
// switches, 30 any positioner, 31 polar/azimuth positioner), byte 2 the command, then data; the
// bytes go by their names in platform/diseqc/diseqc_bytes.h, as the builders' do.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

enum class SimDiseqcKind {
    Ignored,          // not a master command, not for our devices, unknown or too short
    CommittedSwitch,  // 38 Fx
    Halt,             // 60
    LimitsOff,        // 63
    SetEastLimit,     // 66
    SetWestLimit,     // 67
    DriveEast,        // 68 nn
    DriveWest,        // 69 nn
    LimitsOn,         // 6A 00
    Store,            // 6A nn, nn > 0
    Goto,             // 6B nn (00: the reference position 0 degrees)
    GotoAngle,        // 6E b3 b4
};

struct SimDiseqcCommand {
    SimDiseqcKind kind = SimDiseqcKind::Ignored;
    int port = 0;             // committed switch: 0..3 = A..D (option and position bits)
    bool horizontal = false;  // committed switch: polarisation bit
    bool highBand = false;    // committed switch: band bit
    std::uint8_t data = 0;    // drive, store and goto
    double angle = 0;         // goto angle: degrees, positive east
    std::string meaning;      // for the trace: "committed switch port A, horizontal, low band"
};

SimDiseqcCommand DecodeDiseqcCommand(std::span<const std::uint8_t> message);

// The length of a message with this command byte: what the USB card's record, which carries no
// length, implies (4 for switch, drive, store and goto commands, 5 for goto angle, else 3).
std::size_t DiseqcLengthOfCommand(std::uint8_t command);

// "east 1 step", "east, time-out 80 s", "east continuously": what a drive command's data means.
std::string DescribeDrive(bool east, std::uint8_t data);
