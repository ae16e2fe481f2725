#include "pages/transponders/periodic_worker.h"

#include <utility>

CPeriodicWorker::CPeriodicWorker(std::function<void()> job, int periodMs)
    : m_job(std::move(job)), m_nPeriodMs(periodMs), m_thread([this] { Loop(); }) {}

CPeriodicWorker::~CPeriodicWorker() {
    Stop();
}

void CPeriodicWorker::SetRunning(bool running) {
    bool stopped = false;
    {
        std::lock_guard guard(m_lock);
        m_bRunning = running;
        stopped = m_bStopped;
    }
    m_changed.notify_all();
    if (!stopped) m_clock.Wake();
}

void CPeriodicWorker::RunOnce(std::function<void()> job) {
    bool stopped = false;
    {
        std::lock_guard guard(m_lock);
        m_once.push_back(std::move(job));
        stopped = m_bStopped;
    }
    m_changed.notify_all();
    if (!stopped) m_clock.Wake();
}

void CPeriodicWorker::Stop() {
    {
        std::lock_guard guard(m_lock);
        m_bStopped = true;
        m_once.clear();
    }
    m_changed.notify_all();
    if (!m_thread.joinable()) return;
    m_clock.Wake();
    m_thread.join();
    m_clock.Leave();
}

void CPeriodicWorker::Loop() {
    std::unique_lock guard(m_lock);
    while (true) {
        m_clock.WaitFor(guard, m_changed, INFINITE,
                        [this] { return m_bStopped || m_bRunning || !m_once.empty(); });
        if (m_bStopped) return;
        if (!m_once.empty()) {
            const std::function<void()> job = std::move(m_once.front());
            m_once.pop_front();
            guard.unlock();
            job();
            guard.lock();
            continue;
        }
        guard.unlock();
        m_job();
        guard.lock();
        m_clock.WaitFor(guard, m_changed, static_cast<DWORD>(m_nPeriodMs),
                        [this] { return m_bStopped || !m_bRunning || !m_once.empty(); });
    }
}
