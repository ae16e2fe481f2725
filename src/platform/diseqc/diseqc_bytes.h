#pragma once
// The bytes of the DiSEqC bus, named once after the bus's own names: framing, addresses, commands
// and the fields of their data bytes. Kept below the message builders (src/diseqc) and the card
// drivers alike, since the drivers may not include the builders' layer.
#include <cstdint>

namespace diseqc {

// Byte 0. E0..E3 are the master's commands; a device obeys each alike.
enum class Framing : std::uint8_t {
    First = 0xE0,                // command from master, no reply required, first transmission
    Repeat = 0xE1,               // command from master, no reply required, repeated transmission
    FirstReplyRequired = 0xE2,   // command from master, reply required, first transmission
    RepeatReplyRequired = 0xE3,  // command from master, reply required, repeated transmission
};

constexpr bool IsCommandFromMaster(std::uint8_t framing) {
    return framing >= static_cast<std::uint8_t>(Framing::First) &&
           framing <= static_cast<std::uint8_t>(Framing::RepeatReplyRequired);
}

// Byte 1: which devices the command is for.
namespace address {
inline constexpr std::uint8_t kAnyDevice = 0x00;            // any device, master to all devices
inline constexpr std::uint8_t kAnyLnbSwitcherSmatv = 0x10;  // any LNB, switcher or SMATV
inline constexpr std::uint8_t kSmatv = 0x18;                // SMATV; 11..17 are LNBs and switchers
inline constexpr std::uint8_t kAnyPolariser = 0x20;         // any polariser, past the 1x family
inline constexpr std::uint8_t kAnyPositioner = 0x30;        // any positioner
inline constexpr std::uint8_t kPolarAzimuthPositioner = 0x31;  // polar/azimuth positioner
}  // namespace address

// Byte 2: what the device is to do. Data bytes, where a command has them, follow.
namespace command {
inline constexpr std::uint8_t kWriteN0 = 0x38;    // write to port group 0 (committed switches)
inline constexpr std::uint8_t kWriteN1 = 0x39;    // write to port group 1 (uncommitted switches)
inline constexpr std::uint8_t kHalt = 0x60;       // stop positioner movement
inline constexpr std::uint8_t kLimitsOff = 0x63;  // disable limits
inline constexpr std::uint8_t kLimitE = 0x66;     // set east limit at the present position
inline constexpr std::uint8_t kLimitW = 0x67;     // set west limit at the present position
inline constexpr std::uint8_t kDriveEast = 0x68;  // drive motor east, nn: time-out or steps
inline constexpr std::uint8_t kDriveWest = 0x69;  // drive motor west, nn: time-out or steps
inline constexpr std::uint8_t kStoreNn = 0x6A;    // store satellite position nn
inline constexpr std::uint8_t kGotoNn = 0x6B;     // drive motor to satellite position nn
inline constexpr std::uint8_t kGotoXx = 0x6E;     // drive motor to angular position x.x
}  // namespace command

// Write N0's data byte: the high nibble writes all four committed switches, the low nibble
// holds them.
namespace write_n0 {
inline constexpr std::uint8_t kAllFour = 0xF0;     // all four switches written
inline constexpr std::uint8_t kHighBand = 0x01;    // bit 0 band: high (22 kHz)
inline constexpr std::uint8_t kHorizontal = 0x02;  // bit 1 polarisation: horizontal (18 V)
inline constexpr int kPortShift = 2;               // bits 2-3 position and option: A 00 .. D 11
inline constexpr std::uint8_t kPortMask = 0x03;    // of the port after the shift
}  // namespace write_n0

// Drive East/West's data byte: 00 drives on until halted or at a limit, 01..7F is a time-out in
// seconds, 80..FF counts steps back from 256 (FF one step, 80 128 steps).
namespace drive {
inline constexpr std::uint8_t kContinuously = 0x00;
inline constexpr std::uint8_t kFirstSteps = 0x80;
}  // namespace drive

// Store nn and Goto nn: position 00 is the reference. Storing it enables the limits, going to it
// turns to 0 degrees.
inline constexpr std::uint8_t kReferencePosition = 0x00;

// Goto x.x: the high nibble of the first data byte says the direction from the reference, the
// rest are whole degrees (8 bits) and sixteenths of a degree (4 bits).
namespace goto_xx {
inline constexpr std::uint8_t kEast = 0xE;
inline constexpr std::uint8_t kWest = 0xD;
}  // namespace goto_xx

}  // namespace diseqc
