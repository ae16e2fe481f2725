#pragma once
// Tick count and sleeping, read from the program's clock.
#include <cstdint>
#include <memory>

#include "platform/com/win_types.h"

// Milliseconds on the program's clock, wrapping at 2^32 (the system clock counts since boot).
DWORD GetTickCount();
// The same without the wrap, for what measures spans that may cross it.
std::uint64_t GetTickCount64();

// Blocks the calling thread for `milliseconds` of the program's clock.
void Sleep(DWORD milliseconds);

namespace platform {

// Where the program's time comes from. The program runs on the system's clock; a program whose
// time is driven by hand (a simulated card's clock, a clock that jumps) gives its own, so that
// everything that reads ticks or sleeps follows it.
class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since any fixed start; never decreasing.
    virtual std::uint64_t Milliseconds() = 0;
    virtual void SleepFor(DWORD milliseconds) = 0;
};

// CLOCK_BOOTTIME (it keeps counting while the machine is suspended, as the Windows count does)
// and real sleeping.
std::shared_ptr<Clock> SystemClock();

// The clock of every thread from now on; null gives the system's back. A thread inside a call of
// the previous clock finishes it on that clock.
void SetClock(std::shared_ptr<Clock> clock);

}  // namespace platform
