#pragma once
// Clocks a test puts in place of the system's (platform::SetClock) for its lifetime.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/win/system_clock.h"

// Makes `clock` the program's clock until the end of the scope, then gives the system's back.
template <typename ClockType>
class CScopedClock {
public:
    template <typename... Args>
    explicit CScopedClock(Args&&... args)
        : m_pClock(std::make_shared<ClockType>(std::forward<Args>(args)...)) {
        platform::SetClock(m_pClock);
    }
    ~CScopedClock() { platform::SetClock(nullptr); }
    CScopedClock(const CScopedClock&) = delete;
    CScopedClock& operator=(const CScopedClock&) = delete;

    ClockType& operator*() const { return *m_pClock; }
    ClockType* operator->() const { return m_pClock.get(); }

private:
    std::shared_ptr<ClockType> m_pClock;
};

// The system's ticks; sleeping returns at once and is written down.
class CSleepRecorder final : public platform::Clock {
public:
    std::uint64_t Milliseconds() override { return platform::SystemClock()->Milliseconds(); }
    void SleepFor(DWORD milliseconds) override {
        const std::lock_guard lock(m_lock);
        m_sleeps.push_back(milliseconds);
    }
    std::vector<DWORD> Sleeps() const {
        const std::lock_guard lock(m_lock);
        return m_sleeps;
    }

private:
    mutable std::mutex m_lock;
    std::vector<DWORD> m_sleeps;
};

// Time stands at what the test sets; sleeping moves it on at once.
class CStandingClock final : public platform::Clock {
public:
    explicit CStandingClock(std::uint64_t start) : m_now(start) {}
    std::uint64_t Milliseconds() override { return m_now.load(); }
    void SleepFor(DWORD milliseconds) override { m_now += milliseconds; }
    void Set(std::uint64_t now) { m_now = now; }

private:
    std::atomic<std::uint64_t> m_now;
};
