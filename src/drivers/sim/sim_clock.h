#pragma once
// The simulated card's clock, in 27 MHz ticks since the clock was made. Everything that happens
// over time on the card (the dish motor, lock acquisition, the transport stream) is computed
// from it, so a test that drives the clock by hand gets exactly the same results on every run.
//
// RealTime: the clock follows the system's steady clock. Manual: time stands still until a test
// calls Advance; Advance then tells the listeners (the cards), wakes the streaming threads and
// returns only when every registered streaming thread has acknowledged the new time, that is,
// has delivered every sample that is due by then. Tests can therefore check what arrived right
// after Advance, without polling.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

class CSimClock {
public:
    enum class Mode { RealTime, Manual };

    static constexpr std::uint64_t kTicksPerSecond = 27'000'000;
    static constexpr std::uint64_t kTicksPerMs = 27'000;

    explicit CSimClock(Mode mode = Mode::RealTime);
    CSimClock(const CSimClock&) = delete;
    CSimClock& operator=(const CSimClock&) = delete;

    Mode GetMode() const { return m_mode; }
    std::uint64_t Now() const;
    double NowSeconds() const { return static_cast<double>(Now()) / kTicksPerSecond; }

    // Manual mode: as described above. Real-time mode: jumps ahead by `ticks` without waiting.
    // Must not be called by a streaming thread or while holding a card's or a filter's lock.
    void Advance(std::uint64_t ticks);
    void AdvanceMs(std::uint64_t milliseconds) { Advance(milliseconds * kTicksPerMs); }

    // Called on the advancing thread with the new time, in the order of adding.
    using ListenerId = std::uint64_t;
    ListenerId AddListener(std::function<void(std::uint64_t now)> listener);
    void RemoveListener(ListenerId id);

    // Streaming threads. A consumer registers before its thread starts, acknowledges each time
    // it has caught up, and unregisters when it ends.
    using ConsumerId = std::uint64_t;
    ConsumerId RegisterConsumer();
    void UnregisterConsumer(ConsumerId id);
    void Acknowledge(ConsumerId id, std::uint64_t now);

    // A token that changes at every Wake(); read it before looking at the state the wait is for.
    std::uint64_t WakeToken() const;
    // Blocks until the time has passed `seen` (manual mode), until `deadline` has come
    // (real-time mode; ignored in manual mode), or until Wake() was called after `token` was read.
    void WaitAfter(std::uint64_t seen, std::uint64_t deadline, std::uint64_t token);
    // Wakes every waiter (a stop request, a change of the card's state).
    void Wake();

private:
    const Mode m_mode;
    const std::chrono::steady_clock::time_point m_start;

    mutable std::mutex m_lock;
    std::condition_variable m_changed;   // time advanced or woken
    std::condition_variable m_caughtUp;  // a consumer acknowledged or left
    std::uint64_t m_nManualNow = 0;
    std::uint64_t m_nOffset = 0;  // real-time mode: jumps made by Advance
    std::uint64_t m_nWakeToken = 0;
    std::map<ConsumerId, std::uint64_t> m_consumers;  // last acknowledged time
    ConsumerId m_nNextConsumer = 1;

    std::mutex m_listenerLock;  // held while listeners run, so removal waits for them
    std::map<ListenerId, std::function<void(std::uint64_t)>> m_listeners;
    ListenerId m_nNextListener = 1;
};
