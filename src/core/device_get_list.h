#pragma once
// The list of installed tuners that the device dialog shows.
#include <array>
#include <cstdint>

inline constexpr int kMaxListedDevices = 18;

struct DeviceList {
    std::int32_t count = 0;
    std::array<std::array<char, 260>, kMaxListedDevices> names{};
};

// Fills `list` with the friendly names of the installed tuners, in enumeration order, at most
// 18; a device whose name cannot be read keeps its position under a text that says so.
// Returns 1 when the list is empty, else 0.
std::int32_t DeviceGetList(DeviceList& list);
