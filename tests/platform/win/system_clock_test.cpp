#include "platform/win/system_clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
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
    void TearDown() override {
        platform::SetTickCountSourceForTesting({});
        platform::SetSleepHookForTesting({});
    }
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

TEST_F(SystemClockTest, TickSourceHookReplacesAndRestores) {
    std::atomic<DWORD> fake{0xFFFFFFFEU};
    platform::SetTickCountSourceForTesting([&] { return fake.fetch_add(1); });
    EXPECT_EQ(GetTickCount(), 0xFFFFFFFEU);
    EXPECT_EQ(GetTickCount(), 0xFFFFFFFFU);
    EXPECT_EQ(GetTickCount(), 0U);

    platform::SetTickCountSourceForTesting({});
    EXPECT_LT(std::abs(TickDistance(UptimeTicks(), GetTickCount())), 1000);
}

TEST_F(SystemClockTest, SleepHookRecordsDurationsInsteadOfSleeping) {
    std::vector<DWORD> slept;
    platform::SetSleepHookForTesting([&](DWORD ms) { slept.push_back(ms); });
    Sleep(1000);
    Sleep(0);
    Sleep(0xFFFFFFFFU);  // would block for 49 days without the hook
    EXPECT_EQ(slept, (std::vector<DWORD>{1000, 0, 0xFFFFFFFFU}));

    platform::SetSleepHookForTesting({});
    const auto start = std::chrono::steady_clock::now();
    Sleep(20);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
    EXPECT_EQ(slept.size(), 3U);
}

// Hooks are swapped while other threads call through them (run under ThreadSanitizer).
TEST_F(SystemClockTest, HooksCanBeSwappedWhileInUse) {
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
    std::atomic<std::uint64_t> hooked{0};
    for (int round = 0; round < 300; ++round) {
        const DWORD value = static_cast<DWORD>(round);
        platform::SetTickCountSourceForTesting([&hooked, value] {
            hooked.fetch_add(1);
            return value;
        });
        platform::SetSleepHookForTesting([&hooked](DWORD) { hooked.fetch_add(1); });
        if (round % 2 == 0) {
            platform::SetTickCountSourceForTesting({});
            platform::SetSleepHookForTesting({});
        }
        std::this_thread::yield();
    }
    // Let the users make progress with a hook in place before stopping them.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    const std::uint64_t before = hooked.load();
    while (hooked.load() == before && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    stop = true;
    for (std::thread& user : users) user.join();
    EXPECT_GT(hooked.load(), before);
    EXPECT_GT(calls.load(), 0U);
}

}  // namespace
