#pragma once
// Byte 0 of every message the program sends: from the master, no reply required.
#include <cstdint>

namespace diseqc {

enum class Framing : std::uint8_t {
    First = 0xE0,   // first transmission
    Repeat = 0xE1,  // repeated transmission
};

}  // namespace diseqc
