#pragma once
// A thread that runs one job at a fixed period while it is switched on, so that the page can ask
// the driver (which may keep it waiting behind a tune) without holding the window up.
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class CPeriodicWorker {
public:
    CPeriodicWorker(std::function<void()> job, int periodMs);
    // Stops and joins, after the job under way.
    ~CPeriodicWorker();
    CPeriodicWorker(const CPeriodicWorker&) = delete;
    CPeriodicWorker& operator=(const CPeriodicWorker&) = delete;

    // Switched on, the job runs at once and then every period; switched off, it waits.
    void SetRunning(bool running);
    // Ends the thread for good (after the job under way); later calls do nothing.
    void Stop();

private:
    void Loop();

    const std::function<void()> m_job;
    const int m_nPeriodMs;
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_bRunning = false;
    bool m_bStopped = false;
    std::thread m_thread;
};
