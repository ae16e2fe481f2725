#include "status/signal_monitor.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "graph/driver_test_environment.h"
#include "graph/tuner_session.h"
#include "support/fake_signal_statistics.h"

namespace {

// Records what the monitor shows and waits; each wait is a step the test releases.
class CRecordingDisplay : public ISignalDisplay {
public:
    bool StopRequested() const override { return m_bStop; }
    void WaitOrStop(std::uint32_t milliseconds) override {
        std::unique_lock guard(m_lock);
        m_waits.push_back(milliseconds);
        m_changed.notify_all();
        m_changed.wait(guard, [&] { return m_bStop || m_nReleasedWaits >= m_waits.size(); });
    }
    void ShowSignal(const SignalReading& reading) override {
        std::lock_guard guard(m_lock);
        m_shown.push_back(reading);
    }
    int UpdateStreamInfo(bool locked) override {
        std::lock_guard guard(m_lock);
        m_updates.push_back(locked);
        return 1;
    }

    // Lets the monitor through its waits until it has waited `count` times in all, and returns
    // once it waits again (or has ended).
    void RunUntilWaits(std::size_t count) {
        std::unique_lock guard(m_lock);
        m_nReleasedWaits = count - 1;
        m_changed.notify_all();
        m_changed.wait(guard, [&] { return m_waits.size() >= count || m_bEnded; });
    }
    void Stop() {
        std::lock_guard guard(m_lock);
        m_bStop = true;
        m_changed.notify_all();
    }
    void Ended() {
        std::lock_guard guard(m_lock);
        m_bEnded = true;
        m_changed.notify_all();
    }
    std::vector<std::uint32_t> Waits() {
        std::lock_guard guard(m_lock);
        return m_waits;
    }
    std::vector<SignalReading> Shown() {
        std::lock_guard guard(m_lock);
        return m_shown;
    }
    std::vector<bool> Updates() {
        std::lock_guard guard(m_lock);
        return m_updates;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::atomic<bool> m_bStop{false};
    bool m_bEnded = false;
    std::size_t m_nReleasedWaits = 0;
    std::vector<std::uint32_t> m_waits;
    std::vector<SignalReading> m_shown;
    std::vector<bool> m_updates;
};

class SignalMonitorTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_driver.Tuner().SetExtraInterface(IBDA_Topology::kIid,
                                           static_cast<IBDA_Topology*>(m_pStatistics.Get()));
    }
    void Start() {
        m_thread = std::thread([this] {
            RunSignalMonitor(m_driver.Session(), m_display);
            m_display.Ended();
        });
    }
    void TearDown() override {
        m_display.Stop();
        if (m_thread.joinable()) m_thread.join();
    }
    CDriverTestEnvironment m_driver{Carrier::PciE};
    ComPtr<CFakeSignalStatistics> m_pStatistics{new CFakeSignalStatistics};
    CRecordingDisplay m_display;
    std::thread m_thread;
};

TEST_F(SignalMonitorTest, StartsUnlockedAndPollsEverySecondWhileLockedAndStrong) {
    m_pStatistics->Set(80, 11, true);
    Start();
    m_display.RunUntilWaits(1);
    ASSERT_GE(m_display.Shown().size(), 2u);
    EXPECT_EQ(m_display.Shown()[0], (SignalReading{0, 0, 0})) << "the unlocked display at start";
    EXPECT_EQ(m_display.Shown()[1], (SignalReading{80, 11, 1}));
    EXPECT_TRUE(m_driver.Session().IsSignalLocked());
    m_display.RunUntilWaits(2);
    EXPECT_EQ(m_display.Waits(), (std::vector<std::uint32_t>{1000, 1000})) << "one second per poll";
    EXPECT_EQ(m_display.Updates(), (std::vector<bool>{true, true}));
}

TEST_F(SignalMonitorTest, AWeakSignalIsPolledEveryOneAndAHalfSeconds) {
    m_pStatistics->Set(80, 10, true);
    Start();
    m_display.RunUntilWaits(3);
    EXPECT_EQ(m_display.Waits(), (std::vector<std::uint32_t>{1000, 500, 1000}));
}

TEST_F(SignalMonitorTest, ValuesKeepTheirLowEightBits) {
    m_pStatistics->Set(300, 257, true);
    Start();
    m_display.RunUntilWaits(1);
    EXPECT_EQ(m_display.Shown().back(), (SignalReading{44, 1, 1}));
}

TEST_F(SignalMonitorTest, AFailedQualityReadIsAFailedPollWhateverTheOtherReadsSay) {
    m_pStatistics->Set(80, 60, true);
    m_pStatistics->m_bQualityFails = true;
    Start();
    m_display.RunUntilWaits(1);
    EXPECT_EQ(m_display.Shown().back(), (SignalReading{0, 0, 255}));
    EXPECT_FALSE(m_driver.Session().IsSignalLocked());
    EXPECT_EQ(m_display.Updates(), std::vector<bool>{false});
    m_pStatistics->m_bQualityFails = false;
    m_display.RunUntilWaits(3);
    EXPECT_EQ(m_display.Shown().back(), (SignalReading{80, 60, 1}));
    EXPECT_TRUE(m_driver.Session().IsSignalLocked()) << "the flag follows the last poll";
}

TEST_F(SignalMonitorTest, WithoutADriverHandleTheMonitorIdlesInHalfSeconds) {
    m_driver.DropDriverHandle();
    Start();
    m_display.RunUntilWaits(2);
    EXPECT_EQ(m_display.Waits(), (std::vector<std::uint32_t>{500, 500}));
    EXPECT_TRUE(m_display.Updates().empty());
    EXPECT_EQ(m_pStatistics->m_nPolls.load(), 0);
}

TEST_F(SignalMonitorTest, ATunerWithoutTopologyEndsTheMonitor) {
    m_driver.Tuner().SetExtraInterface(GUID_NULL, nullptr);
    Start();
    m_thread.join();
    EXPECT_TRUE(m_display.Waits().empty());
    EXPECT_EQ(m_display.Shown().size(), 1u) << "only the start display";
}

TEST_F(SignalMonitorTest, StopEndsTheMonitorAtItsNextTurn) {
    m_pStatistics->Set(80, 60, true);
    Start();
    m_display.RunUntilWaits(1);
    const int polls = m_pStatistics->m_nPolls;
    m_display.Stop();
    m_thread.join();
    EXPECT_EQ(m_pStatistics->m_nPolls.load(), polls);
}

}  // namespace
