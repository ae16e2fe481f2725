#pragma once
// The simulated card's trace: one line per exchange with the driver, tune request, DiSEqC
// message, motor movement and lock change, appended to SimulatedCard.log in the "drive C" root
// (the home folder), so a user can `tail -F` it. Each line is written with one append and the
// file is closed again, so the trace survives a crash and can be removed while the program runs.
// Only a regular file (or a link to one) is written; anything else at the path gets no lines.
// A line that would take the file past kRotateSize first moves it to SimulatedCard.log.1 (beside
// the file a link leads to), replacing the older one, and starts a new file: the trace keeps at
// most twice kRotateSize, and never splits a line between the two files.
//
//   <local date> <local time.ms> <simulated seconds> <card> <event>
//   2025-03-14 09:26:53.589 12.300 Arden set KSPROPERTY_BDA_DISEQC 01 00 ... 00 -> 0x00000000
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/win/rotating_log.h"

class CSimTrace {
public:
    // Appended to the name of the file that is moved aside.
    static constexpr const char* kOlderSuffix = rotating_log::kOlderSuffix;
    // 16 MiB: about ten hours of a card that is locked and left alone.
    static constexpr std::uint64_t kRotateSize = std::uint64_t{16} << 20;

    // The trace file's path (platform::SimTraceFile).
    static std::string Path();
    // Appends one line; failures to write are ignored (the card works without its trace).
    static void Write(std::string_view card, std::uint64_t simTicks, std::string_view event);
    // Upper-case hex pairs separated by single spaces: "E0 10 38 F6".
    static std::string Hex(std::span<const std::uint8_t> bytes);
};
