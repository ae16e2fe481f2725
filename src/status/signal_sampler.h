#pragma once
// The alignment meter's own reader of the signal: a thread that reads the card's measurement
// every period while it is running and hands each reading, as a MeterSample, to a listener on
// that thread. The status monitor keeps its own, slower polls; this one runs only while someone
// looks at the meter.
//
// Threads: the sampler's thread calls the reader and the listener and nothing else; the running
// and stop flags are guarded by m_lock, which is never held while reading or delivering, so
// that a read waiting behind a tune cannot hold up the thread that pauses or stops the sampler.
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "graph/driver_control.h"
#include "platform/com/win_types.h"
#include "platform/win/system_clock.h"
#include "status/signal_history.h"

class CSignalSampler {
public:
    using Reader = std::function<SignalMeasureResult()>;
    using Listener = std::function<void(const MeterSample&)>;

    // Six readings a second: the meter must move at least five times a second.
    static constexpr DWORD kDefaultPeriodMs = 150;

    // Starts the thread, paused. `deliver` runs on the sampler's thread; it must not wait for
    // the thread that calls SetRunning or Stop.
    CSignalSampler(Reader read, Listener deliver, DWORD periodMs = kDefaultPeriodMs);
    ~CSignalSampler();
    CSignalSampler(const CSignalSampler&) = delete;
    CSignalSampler& operator=(const CSignalSampler&) = delete;

    // Running, it reads at once and then every period, measured from the start of one read to
    // the start of the next; a read slower than the period is followed at once by the next, with
    // no burst to catch up. Paused, it waits without waking; a reading under way when it is
    // paused is still delivered.
    void SetRunning(bool running);
    // Ends the thread for good after the reading under way and joins it; later calls do nothing.
    void Stop();

private:
    void Loop();
    void TakeSample(DWORD tick);

    const Reader m_read;
    const Listener m_deliver;
    const DWORD m_nPeriodMs;
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_bRunning = false;
    bool m_bStopped = false;
    // The period is the program's clock's: a clock driven by hand paces the readings.
    platform::ClockWaiter m_clock;
    std::thread m_thread;
};
