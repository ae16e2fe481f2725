#pragma once
// Tick count and sleeping, read from the program's clock.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/com/win_types.h"

// A wait without end (WaitForSingleObject's INFINITE).
inline constexpr DWORD INFINITE = 0xFFFFFFFF;

// Milliseconds on the program's clock, wrapping at 2^32 (the system clock counts since boot).
DWORD GetTickCount();
// The same without the wrap, for what measures spans that may cross it.
std::uint64_t GetTickCount64();

// Blocks the calling thread for `milliseconds` of the program's clock.
void Sleep(DWORD milliseconds);

namespace platform {

class ClockWaiter;

// Where the program's time comes from. The program runs on the system's clock; a program whose
// time is driven by hand (a simulated card's clock, a clock that jumps) gives its own, so that
// everything that reads ticks or sleeps follows it.
class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since any fixed start; never decreasing.
    virtual std::uint64_t Milliseconds() = 0;
    virtual void SleepFor(DWORD milliseconds) = 0;
    // Waits, `lock` held, on `changed` until `ready()` or until `milliseconds` of this clock have
    // passed (INFINITE: no end); true when ready() holds. Here in real time; a clock driven by
    // hand wakes the waiter when its time passes the end.
    virtual bool WaitFor(ClockWaiter& waiter, std::unique_lock<std::mutex>& lock,
                         std::condition_variable& changed, DWORD milliseconds,
                         const std::function<bool()>& ready);
    // Something was given the waiter to do (its condition was notified): a clock driven by hand
    // lets it do that before its time moves on.
    virtual void Woken(const ClockWaiter& /*waiter*/) {}
    // The waiter goes: it waits no more.
    virtual void Forget(const ClockWaiter& /*waiter*/) {}
};

// A thread that waits on the program's clock again and again (a worker between its jobs), on the
// clock of the waiter's making. A clock driven by hand knows it from its first wait to its
// destruction, so that after moving its time past the end of a wait, or after Wake, it can let
// the thread run what is due before its time moves on.
class ClockWaiter {
public:
    ClockWaiter();
    ~ClockWaiter();
    ClockWaiter(const ClockWaiter&) = delete;
    ClockWaiter& operator=(const ClockWaiter&) = delete;

    // Clock::WaitFor on the waiter's clock; by the waiting thread only.
    bool WaitFor(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
                 DWORD milliseconds, const std::function<bool()>& ready);
    // After notifying the waiter's condition, from any thread.
    void Wake();
    // The thread that waited has ended; by whoever joined it (the destructor does it too).
    void Leave();

private:
    const std::shared_ptr<Clock> m_pClock;
};

// CLOCK_BOOTTIME (it keeps counting while the machine is suspended, as the Windows count does)
// and real sleeping.
std::shared_ptr<Clock> SystemClock();

// The clock of every thread from now on; null gives the system's back. A thread inside a call of
// the previous clock finishes it on that clock.
void SetClock(std::shared_ptr<Clock> clock);

}  // namespace platform
