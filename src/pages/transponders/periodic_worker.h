#pragma once
// A thread that runs one job at a fixed period while it is switched on, so that the page can ask
// the driver (which may keep it waiting behind a tune) without holding the window up; jobs handed
// to it once (a tune) run on the same thread, so never at the same time as the periodic one.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/win/system_clock.h"

class CPeriodicWorker {
public:
    CPeriodicWorker(std::function<void()> job, int periodMs);
    // Stops and joins, after the job under way.
    ~CPeriodicWorker();
    CPeriodicWorker(const CPeriodicWorker&) = delete;
    CPeriodicWorker& operator=(const CPeriodicWorker&) = delete;

    // Switched on, the job runs at once and then every period; switched off, it waits.
    void SetRunning(bool running);
    // `job` runs once on the thread, before the next periodic job, switched on or not.
    void RunOnce(std::function<void()> job);
    // Ends the thread for good (after the job under way; jobs not begun are dropped); later calls
    // do nothing.
    void Stop();

private:
    void Loop();

    const std::function<void()> m_job;
    const int m_nPeriodMs;
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_bRunning = false;
    bool m_bStopped = false;
    std::deque<std::function<void()>> m_once;
    // The period is the program's clock's: a clock driven by hand paces the job.
    platform::ClockWaiter m_clock;
    std::thread m_thread;
};
