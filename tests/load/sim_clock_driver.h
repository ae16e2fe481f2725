#pragma once
// Moves a simulated card's manual clock from a thread of its own, in fixed steps, up to a target
// time that the test raises. Simulated time then passes while the user-interface thread works, as
// real time would, but only as far as the test asks and as fast as the machine goes: the card
// locks, loses lock and streams concurrently with "Lock TP", the monitor and the recording.
// Each step returns only when the card's streaming thread has delivered what was due by then.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "drivers/sim/sim_clock.h"

class CSimClockDriver {
public:
    CSimClockDriver(CSimClock& clock, std::uint64_t stepTicks);
    ~CSimClockDriver();
    CSimClockDriver(const CSimClockDriver&) = delete;
    CSimClockDriver& operator=(const CSimClockDriver&) = delete;

    // Lets the clock run on to `ticks`; a target below the current one changes nothing.
    void RunUntil(std::uint64_t ticks);
    // True when the clock stands at its target and no step is under way: everything due has
    // been delivered.
    bool Idle() const;
    std::uint64_t Steps() const;

private:
    void Run();

    CSimClock& m_clock;
    const std::uint64_t m_nStepTicks;
    mutable std::mutex m_lock;  // taken before the clock's own lock, never inside it
    std::condition_variable m_changed;
    std::uint64_t m_nTarget = 0;
    std::uint64_t m_nSteps = 0;
    bool m_bStepping = false;
    bool m_bStop = false;
    std::thread m_thread;
};
