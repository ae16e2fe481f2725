#include "status/signal_sampler.h"

#include <cstdint>
#include <utility>

#include "platform/win/system_clock.h"

CSignalSampler::CSignalSampler(Reader read, Listener deliver, DWORD periodMs)
    : m_read(std::move(read)), m_deliver(std::move(deliver)), m_nPeriodMs(periodMs) {
    m_thread = std::thread([this] { Loop(); });
}

CSignalSampler::~CSignalSampler() {
    Stop();
}

void CSignalSampler::SetRunning(bool running) {
    {
        const std::lock_guard lock(m_lock);
        m_bRunning = running;
    }
    m_changed.notify_all();
}

void CSignalSampler::Stop() {
    {
        const std::lock_guard lock(m_lock);
        m_bStopped = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) m_thread.join();
}

void CSignalSampler::Loop() {
    // The period is the program's clock's: a clock driven by hand paces the readings. A stop or a
    // pause wakes the wait at once.
    platform::ClockWaiter clock;
    std::unique_lock lock(m_lock);
    bool readNow = true;  // at the start and on each resume
    DWORD due = 0;
    while (!m_bStopped) {
        if (!m_bRunning) {
            clock.WaitFor(lock, m_changed, INFINITE, [this] { return m_bStopped || m_bRunning; });
            readNow = true;
            continue;
        }
        const DWORD now = GetTickCount();
        // Signed distance, so the wrap of the tick count at 2^32 does not stall the meter.
        const auto untilDue = static_cast<std::int32_t>(due - now);
        if (readNow || untilDue <= 0) {
            lock.unlock();
            TakeSample(now);
            lock.lock();
            due = now + m_nPeriodMs;
            readNow = false;
        } else {
            clock.WaitFor(lock, m_changed, static_cast<DWORD>(untilDue),
                          [this] { return m_bStopped || !m_bRunning; });
        }
    }
}

void CSignalSampler::TakeSample(DWORD tick) {
    const SignalMeasureResult measure = m_read();
    MeterSample sample;
    sample.tickMs = tick;
    if (measure.ok) {
        sample.carrierToNoiseDb = measure.carrierToNoiseDb;
        sample.levelDbm = measure.levelDbm;
    }
    m_deliver(sample);
}
