#pragma once
// Counts every allocation of the program through a replaced global operator new (in its own
// translation unit, so that no caller sees the replacement inlined).
#include <cstdint>

std::uint64_t AllocationCount();
