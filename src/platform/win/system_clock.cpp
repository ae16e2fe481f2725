#include "platform/win/system_clock.h"

#include <time.h>

#include <chrono>
#include <thread>
#include <utility>

#include "platform/win/replaceable.h"

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

CReplaceable<platform::Clock> g_clock;

std::shared_ptr<platform::Clock> CurrentClock() {
    return g_clock.Get(platform::SystemClock());
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
    g_clock.Set(std::move(clock));
}

bool Clock::WaitFor(ClockWaiter& /*waiter*/, std::unique_lock<std::mutex>& lock,
                    std::condition_variable& changed, DWORD milliseconds,
                    const std::function<bool()>& ready) {
    if (milliseconds == INFINITE) {
        changed.wait(lock, ready);
        return true;
    }
    return changed.wait_for(lock, std::chrono::milliseconds(milliseconds), ready);
}

ClockWaiter::ClockWaiter() : m_pClock(CurrentClock()) {}

ClockWaiter::~ClockWaiter() {
    Leave();
}

void ClockWaiter::Leave() {
    m_pClock->Forget(*this);
}

bool ClockWaiter::WaitFor(std::unique_lock<std::mutex>& lock, std::condition_variable& changed,
                          DWORD milliseconds, const std::function<bool()>& ready) {
    return m_pClock->WaitFor(*this, lock, changed, milliseconds, ready);
}

void ClockWaiter::Wake() {
    m_pClock->Woken(*this);
}

}  // namespace platform
