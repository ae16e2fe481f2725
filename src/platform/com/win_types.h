#pragma once
// The integer and text types that the Windows-style interfaces of the stand-ins use.
#include <cstdint>

using BYTE = std::uint8_t;
using BOOLEAN = std::uint8_t;
using BOOL = std::int32_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using LONGLONG = std::int64_t;
using REFERENCE_TIME = std::int64_t;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;
