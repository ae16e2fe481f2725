#pragma once
// Ends the test program when a test has not finished in time, so that a hang fails CI instead of
// stalling it: prints what hung, then aborts (a sanitizer or a core dump shows every thread).
// Disarmed when the object goes.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

class CHangWatchdog {
public:
    CHangWatchdog(std::string what, std::chrono::seconds limit);
    ~CHangWatchdog();
    CHangWatchdog(const CHangWatchdog&) = delete;
    CHangWatchdog& operator=(const CHangWatchdog&) = delete;

private:
    std::mutex m_lock;
    std::condition_variable m_finished;
    bool m_bFinished = false;
    std::thread m_thread;
};
