#include "drivers/sim/sim_clock.h"

#include <algorithm>

namespace {

std::uint64_t TicksOf(std::chrono::steady_clock::duration elapsed) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count();
    if (ns <= 0) return 0;
    // 27 ticks per microsecond: 27 MHz.
    return static_cast<std::uint64_t>(ns) * 27 / 1000;
}

}  // namespace

CSimClock::CSimClock(Mode mode) : m_mode(mode), m_start(std::chrono::steady_clock::now()) {}

std::uint64_t CSimClock::Now() const {
    std::lock_guard guard(m_lock);
    if (m_mode == Mode::Manual) return m_nManualNow;
    return TicksOf(std::chrono::steady_clock::now() - m_start) + m_nOffset;
}

void CSimClock::Advance(std::uint64_t ticks) {
    std::uint64_t target = 0;
    {
        std::lock_guard guard(m_lock);
        if (m_mode == Mode::Manual) {
            m_nManualNow += ticks;
            target = m_nManualNow;
        } else {
            m_nOffset += ticks;
            target = TicksOf(std::chrono::steady_clock::now() - m_start) + m_nOffset;
        }
        ++m_nWakeToken;
    }
    m_changed.notify_all();
    {
        std::lock_guard guard(m_listenerLock);
        for (auto& [id, listener] : m_listeners) listener(target);
    }
    if (m_mode != Mode::Manual) return;
    std::unique_lock guard(m_lock);
    m_caughtUp.wait(guard, [&] {
        return std::all_of(m_consumers.begin(), m_consumers.end(),
                           [&](const auto& consumer) { return consumer.second >= target; });
    });
}

CSimClock::ListenerId CSimClock::AddListener(std::function<void(std::uint64_t)> listener) {
    std::lock_guard guard(m_listenerLock);
    const ListenerId id = m_nNextListener++;
    m_listeners.emplace(id, std::move(listener));
    return id;
}

void CSimClock::RemoveListener(ListenerId id) {
    std::lock_guard guard(m_listenerLock);
    m_listeners.erase(id);
}

CSimClock::ConsumerId CSimClock::RegisterConsumer() {
    std::lock_guard guard(m_lock);
    const ConsumerId id = m_nNextConsumer++;
    m_consumers.emplace(id, 0);
    return id;
}

void CSimClock::UnregisterConsumer(ConsumerId id) {
    {
        std::lock_guard guard(m_lock);
        m_consumers.erase(id);
    }
    m_caughtUp.notify_all();
}

void CSimClock::Acknowledge(ConsumerId id, std::uint64_t now) {
    {
        std::lock_guard guard(m_lock);
        const auto found = m_consumers.find(id);
        if (found == m_consumers.end()) return;
        found->second = std::max(found->second, now);
    }
    m_caughtUp.notify_all();
}

std::uint64_t CSimClock::WakeToken() const {
    std::lock_guard guard(m_lock);
    return m_nWakeToken;
}

void CSimClock::WaitAfter(std::uint64_t seen, std::uint64_t deadline, std::uint64_t token) {
    std::unique_lock guard(m_lock);
    if (m_mode == Mode::Manual) {
        m_changed.wait(guard, [&] { return m_nManualNow > seen || m_nWakeToken != token; });
        return;
    }
    const std::uint64_t now = TicksOf(std::chrono::steady_clock::now() - m_start) + m_nOffset;
    if (deadline <= now) return;
    const auto wait = std::chrono::nanoseconds((deadline - now) * 1000 / 27);
    m_changed.wait_for(guard, wait, [&] { return m_nWakeToken != token; });
}

void CSimClock::Wake() {
    {
        std::lock_guard guard(m_lock);
        ++m_nWakeToken;
    }
    m_changed.notify_all();
}
