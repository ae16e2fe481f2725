#pragma once
// Tick count and sleeping, with hooks through which tests take control of time.
#include <cstdint>
#include <functional>

#include "platform/com/win_types.h"

// Milliseconds since the system started (CLOCK_BOOTTIME), wrapping at 2^32.
DWORD GetTickCount();
// The same without the wrap, for what measures spans that may cross it.
std::uint64_t GetTickCount64();

// Blocks the calling thread for `milliseconds`.
void Sleep(DWORD milliseconds);

namespace platform {

// Replaces the tick source for every thread; an empty function restores the system clock.
void SetTickCountSourceForTesting(std::function<DWORD()> source);

// Replaces Sleep for every thread; an empty function restores real sleeping.
void SetSleepHookForTesting(std::function<void(DWORD)> hook);

}  // namespace platform
