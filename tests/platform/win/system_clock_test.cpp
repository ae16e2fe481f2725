#include "platform/win/system_clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Milliseconds since boot as the kernel reports them in /proc/uptime, cut to 32 bits.
DWORD UptimeTicks() {
    std::ifstream uptime("/proc/uptime");
    double seconds = 0;
    uptime >> seconds;
    return static_cast<DWORD>(static_cast<std::uint64_t>(seconds * 1000.0));
}

// Signed distance between two tick counts, correct across the 2^32 wrap.
std::int64_t TickDistance(DWORD from, DWORD to) {
    return static_cast<std::int32_t>(to - from);
}

class SystemClockTest : public ::testing::Test {
protected:
    void TearDown() override { platform::SetClock(nullptr); }
};

// Counts from a start the test gives, one millisecond a reading; records sleeps without sleeping.
class CCountingClock final : public platform::Clock {
public:
    explicit CCountingClock(std::uint64_t start, std::atomic<std::uint64_t>* calls = nullptr)
        : m_next(start), m_pCalls(calls) {}
    std::uint64_t Milliseconds() override {
        if (m_pCalls != nullptr) m_pCalls->fetch_add(1);
        return m_next.fetch_add(1);
    }
    void SleepFor(DWORD milliseconds) override {
        if (m_pCalls != nullptr) m_pCalls->fetch_add(1);
        const std::lock_guard lock(m_lock);
        m_slept.push_back(milliseconds);
    }
    std::vector<DWORD> Slept() {
        const std::lock_guard lock(m_lock);
        return m_slept;
    }

private:
    std::atomic<std::uint64_t> m_next;
    std::atomic<std::uint64_t>* m_pCalls;
    std::mutex m_lock;
    std::vector<DWORD> m_slept;
};

TEST_F(SystemClockTest, TickCountIsMillisecondsSinceBoot) {
    const DWORD reference = UptimeTicks();
    const DWORD tick = GetTickCount();
    // /proc/uptime has centisecond resolution; seconds or microseconds would be far off.
    EXPECT_LT(std::abs(TickDistance(reference, tick)), 1000) << reference << " vs " << tick;

    const DWORD start = GetTickCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_GE(TickDistance(start, GetTickCount()), 30);
}

// The tick count wraps at 2^32 where the 64-bit count goes on; sleeping goes to the clock.
TEST_F(SystemClockTest, AClockOfItsOwnReplacesTheSystemsUntilTakenBack) {
    const auto clock = std::make_shared<CCountingClock>(0xFFFFFFFEULL);
    platform::SetClock(clock);
    EXPECT_EQ(GetTickCount(), 0xFFFFFFFEU);
    EXPECT_EQ(GetTickCount(), 0xFFFFFFFFU);
    EXPECT_EQ(GetTickCount(), 0U);
    EXPECT_EQ(GetTickCount64(), 0x100000001ULL);
    Sleep(1000);
    Sleep(0);
    Sleep(0xFFFFFFFFU);  // would block for 49 days on the system's clock
    EXPECT_EQ(clock->Slept(), (std::vector<DWORD>{1000, 0, 0xFFFFFFFFU}));

    platform::SetClock(nullptr);
    EXPECT_LT(std::abs(TickDistance(UptimeTicks(), GetTickCount())), 1000);
    const auto start = std::chrono::steady_clock::now();
    Sleep(20);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
    EXPECT_EQ(clock->Slept().size(), 3U);
}

// The clock is swapped while other threads read and sleep on it (run under ThreadSanitizer).
TEST_F(SystemClockTest, TheClockCanBeSwappedWhileInUse) {
    std::atomic<bool> stop{false};
    std::atomic<std::uint64_t> calls{0};
    std::vector<std::thread> users;
    for (int i = 0; i < 3; ++i) {
        users.emplace_back([&] {
            while (!stop.load()) {
                GetTickCount();
                Sleep(0);
                calls.fetch_add(1);
            }
        });
    }
    std::atomic<std::uint64_t> onOwnClock{0};
    for (int round = 0; round < 300; ++round) {
        platform::SetClock(round % 2 == 0 ? nullptr
                                          : std::make_shared<CCountingClock>(round, &onOwnClock));
        std::this_thread::yield();
    }
    // Let the users make progress on a clock of the test's before stopping them.
    platform::SetClock(std::make_shared<CCountingClock>(0, &onOwnClock));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    const std::uint64_t before = onOwnClock.load();
    while (onOwnClock.load() == before && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    stop = true;
    for (std::thread& user : users) user.join();
    EXPECT_GT(onOwnClock.load(), before);
    EXPECT_GT(calls.load(), 0U);
}

}  // namespace
