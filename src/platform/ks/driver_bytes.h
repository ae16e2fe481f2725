#pragma once
// The DWORDs of the vendor driver records: little-endian whatever the host, written and read
// byte by byte so that no record depends on the compiler's layout of a struct. Signed fields (a
// stream id of -1, a code value) travel as their two's-complement bits: cast at the call.
#include <cstdint>

namespace driver_bytes {

inline void PutLe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

inline std::uint32_t GetLe32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

}  // namespace driver_bytes
