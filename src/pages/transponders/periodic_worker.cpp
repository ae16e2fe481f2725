#include "pages/transponders/periodic_worker.h"

#include <utility>

#include "platform/win/system_clock.h"

CPeriodicWorker::CPeriodicWorker(std::function<void()> job, int periodMs)
    : m_job(std::move(job)), m_nPeriodMs(periodMs), m_thread([this] { Loop(); }) {}

CPeriodicWorker::~CPeriodicWorker() {
    Stop();
}

void CPeriodicWorker::SetRunning(bool running) {
    {
        std::lock_guard guard(m_lock);
        m_bRunning = running;
    }
    m_changed.notify_all();
}

void CPeriodicWorker::RunOnce(std::function<void()> job) {
    {
        std::lock_guard guard(m_lock);
        m_once.push_back(std::move(job));
    }
    m_changed.notify_all();
}

void CPeriodicWorker::Stop() {
    {
        std::lock_guard guard(m_lock);
        m_bStopped = true;
        m_once.clear();
    }
    m_changed.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

void CPeriodicWorker::Loop() {
    // The period is the program's clock's: a clock driven by hand paces the job.
    platform::ClockWaiter clock;
    std::unique_lock guard(m_lock);
    while (true) {
        clock.WaitFor(guard, m_changed, INFINITE,
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
        clock.WaitFor(guard, m_changed, static_cast<DWORD>(m_nPeriodMs),
                      [this] { return m_bStopped || !m_bRunning || !m_once.empty(); });
    }
}
