#include "platform/win/system_clock.h"

#include <time.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <utility>

namespace {

class CSystemClock final : public platform::Clock {
public:
    std::uint64_t Milliseconds() override {
        timespec now{};
        clock_gettime(CLOCK_BOOTTIME, &now);
        return static_cast<std::uint64_t>(now.tv_sec) * 1000U +
               static_cast<std::uint64_t>(now.tv_nsec) / 1000000U;
    }
    void SleepFor(DWORD milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
};

// The clock is swapped under a lock and used outside it through a shared copy, so it may be
// replaced while other threads are inside GetTickCount or Sleep.
std::mutex g_clockLock;
std::shared_ptr<platform::Clock> g_pClock;

std::shared_ptr<platform::Clock> CurrentClock() {
    {
        const std::lock_guard<std::mutex> lock(g_clockLock);
        if (g_pClock) return g_pClock;
    }
    return platform::SystemClock();
}

}  // namespace

DWORD GetTickCount() {
    return static_cast<DWORD>(GetTickCount64());  // wraps at 2^32 like the original, ~49.7 days
}

std::uint64_t GetTickCount64() {
    return CurrentClock()->Milliseconds();
}

void Sleep(DWORD milliseconds) {
    CurrentClock()->SleepFor(milliseconds);
}

namespace platform {

std::shared_ptr<Clock> SystemClock() {
    static const auto clock = std::make_shared<CSystemClock>();
    return clock;
}

void SetClock(std::shared_ptr<Clock> clock) {
    const std::lock_guard<std::mutex> lock(g_clockLock);
    g_pClock.swap(clock);
    // The previous clock is released after the lock (by `clock`).
}

}  // namespace platform
