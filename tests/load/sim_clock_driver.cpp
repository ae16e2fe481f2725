#include "load/sim_clock_driver.h"

#include <algorithm>

CSimClockDriver::CSimClockDriver(CSimClock& clock, std::uint64_t stepTicks)
    : m_clock(clock), m_nStepTicks(stepTicks), m_nTarget(clock.Now()) {
    m_thread = std::thread(&CSimClockDriver::Run, this);
}

CSimClockDriver::~CSimClockDriver() {
    {
        std::lock_guard guard(m_lock);
        m_bStop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void CSimClockDriver::RunUntil(std::uint64_t ticks) {
    {
        std::lock_guard guard(m_lock);
        m_nTarget = std::max(m_nTarget, ticks);
    }
    m_changed.notify_all();
}

bool CSimClockDriver::Idle() const {
    std::lock_guard guard(m_lock);
    return !m_bStepping && m_clock.Now() >= m_nTarget;
}

std::uint64_t CSimClockDriver::Steps() const {
    std::lock_guard guard(m_lock);
    return m_nSteps;
}

void CSimClockDriver::Run() {
    std::unique_lock guard(m_lock);
    for (;;) {
        // Only this thread moves the clock, so what it reads here stays true until it steps.
        m_changed.wait(guard, [this] { return m_bStop || m_clock.Now() < m_nTarget; });
        if (m_bStop) return;
        const std::uint64_t step = std::min(m_nStepTicks, m_nTarget - m_clock.Now());
        m_bStepping = true;
        guard.unlock();
        // Advance waits for the streaming thread, which may wait for the recording lock that the
        // user-interface thread holds: never hold our lock across it.
        m_clock.Advance(step);
        guard.lock();
        m_bStepping = false;
        ++m_nSteps;
    }
}
