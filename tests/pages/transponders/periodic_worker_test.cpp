// The page's and the scan's worker: jobs handed to it once (the scan's tunes) run on its thread,
// switched on or off, and never at the same time as the periodic job (a reading during a tune).
#include "pages/transponders/periodic_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/media/wait_until.h"

namespace {

TEST(PeriodicWorkerTest, OnceJobsRunOnItsThreadAndNeverBesideThePeriodicJob) {
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    std::atomic<int> periodic{0};
    const auto enter = [&] {
        if (inside.fetch_add(1) != 0) overlapped = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        inside.fetch_sub(1);
    };
    CPeriodicWorker worker(
        [&] {
            enter();
            ++periodic;
        },
        1);
    std::atomic<int> once{0};
    std::atomic<bool> onOtherThread{true};
    const std::thread::id caller = std::this_thread::get_id();
    const auto job = [&] {
        enter();
        if (std::this_thread::get_id() == caller) onOtherThread = false;
        ++once;
    };

    worker.RunOnce(job);  // switched off: runs all the same
    ASSERT_TRUE(WaitUntil([&] { return once == 1; }));
    EXPECT_EQ(periodic, 0);

    worker.SetRunning(true);
    for (int i = 0; i < 20; ++i) worker.RunOnce(job);
    ASSERT_TRUE(WaitUntil([&] { return once == 21 && periodic > 0; }));
    worker.SetRunning(false);
    EXPECT_FALSE(overlapped);
    EXPECT_TRUE(onOtherThread);

    // After Stop nothing more runs.
    worker.Stop();
    worker.RunOnce(job);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(once, 21);
}

}  // namespace
