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
    bool stopped = false;
    {
        const std::lock_guard lock(m_lock);
        m_bRunning = running;
        stopped = m_bStopped;
    }
    m_changed.notify_all();
    if (!stopped) m_clock.Wake();
}

void CSignalSampler::Stop() {
    {
        const std::lock_guard lock(m_lock);
        m_bStopped = true;
    }
    m_changed.notify_all();
    if (!m_thread.joinable() || m_thread.get_id() == std::this_thread::get_id()) return;
    m_clock.Wake();
    m_thread.join();
    m_clock.Leave();
}

void CSignalSampler::Loop() {
    // A stop or a pause wakes the wait at once.
    std::unique_lock lock(m_lock);
    bool readNow = true;  // at the start and on each resume
    DWORD due = 0;
    while (!m_bStopped) {
        if (!m_bRunning) {
            m_clock.WaitFor(lock, m_changed, INFINITE, [this] { return m_bStopped || m_bRunning; });
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
            m_clock.WaitFor(lock, m_changed, static_cast<DWORD>(untilDue),
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
