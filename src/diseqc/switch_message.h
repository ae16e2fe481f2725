#pragma once
// The committed-switch message (DiSEqC 1.0) that "Lock TP" sends before it tunes: which of four
// LNBs, and the band and polarisation the tuner's tone and voltage also select.
#include <array>
#include <cstdint>

namespace diseqc {

enum class Port : std::uint8_t { A, B, C, D };

// E0 10 38 Fx: x holds the port in bits 2-3, horizontal (18 V) in bit 1, high band (22 kHz) in
// bit 0.
std::array<std::uint8_t, 4> CommittedSwitch(Port port, bool highBand, bool horizontal);

}  // namespace diseqc
