// The simulated card under threads: its streaming thread delivers while the control thread runs,
// stops and tears down the graph and another thread polls the signal statistics. Meant for
// ThreadSanitizer; the assertions check that streaming really happened in each phase.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "drivers/sim/sim_test_rig.h"
#include "platform/bda/bda_device_interfaces.h"

namespace {

template <typename Predicate>
bool WaitUntil(Predicate predicate, std::chrono::seconds limit = std::chrono::seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Reads lock, strength and quality in a loop through its own reference on the tuner filter, as
// the signal monitor does, so it may outlive the graph.
class CStatisticsPoller {
public:
    explicit CStatisticsPoller(IBaseFilter* tuner)
        : m_pTuner(tuner), m_thread([this] {
              while (!m_bStop.load()) {
                  ComPtr<IBDA_Topology> topology;
                  ComPtr<IUnknown> node;
                  ComPtr<IBDA_SignalStatistics> statistics;
                  LONG quality = 0;
                  LONG strength = 0;
                  BOOLEAN locked = 0;
                  if (SUCCEEDED(m_pTuner->QueryInterface(IBDA_Topology::kIid,
                                                         topology.ReleaseAndGetVoidAddress())) &&
                      SUCCEEDED(topology->GetControlNode(0, 1, kBdaTunerNode,
                                                         node.ReleaseAndGetAddressOf())) &&
                      SUCCEEDED(node->QueryInterface(IBDA_SignalStatistics::kIid,
                                                     statistics.ReleaseAndGetVoidAddress())) &&
                      SUCCEEDED(statistics->get_SignalQuality(&quality))) {
                      statistics->get_SignalStrength(&strength);
                      statistics->get_SignalLocked(&locked);
                      if (locked == 1) m_nLocked.fetch_add(1);
                  }
                  m_nPolls.fetch_add(1);
              }
          }) {}
    ~CStatisticsPoller() {
        m_bStop.store(true);
        m_thread.join();
    }
    std::uint64_t Polls() const { return m_nPolls.load(); }
    std::uint64_t LockedPolls() const { return m_nLocked.load(); }

private:
    const ComPtr<IBaseFilter> m_pTuner;
    std::atomic<bool> m_bStop{false};
    std::atomic<std::uint64_t> m_nPolls{0};
    std::atomic<std::uint64_t> m_nLocked{0};
    std::thread m_thread;
};

TEST(SimThreads, RealTimeStreamingSurvivesRunStopCyclesTeardownAndAPollingThread) {
    CSimTestEnvironment outer;  // the trace stays in a scratch folder after the rig has gone
    auto rig = std::make_unique<CSimTestRig>(0, CSimTestRig::NoiselessOptions(),
                                             CSimClock::Mode::RealTime);
    const SimTune tune{11362, 'H', 22000};
    ASSERT_EQ(rig->SendCommittedSwitch('B', tune), S_OK);
    ASSERT_EQ(rig->Tune(tune), S_OK);
    {
        CStatisticsPoller poller(rig->TunerFilter());
        for (int cycle = 0; cycle < 3; ++cycle) {
            const auto before = rig->SamplesReceived();
            ASSERT_EQ(rig->Run(), S_OK);
            EXPECT_TRUE(WaitUntil([&] { return rig->SamplesReceived() >= before + 3; })) << cycle;
            ASSERT_EQ(rig->Stop(), S_OK);
            // Re-tuning while stopped, as "Lock TP" does after a stream-type change.
            ASSERT_EQ(rig->Tune(tune), S_OK);
        }
        ASSERT_EQ(rig->Run(), S_OK);
        EXPECT_TRUE(WaitUntil([&] { return rig->SamplesReceived() >= 12; }));
        EXPECT_TRUE(WaitUntil([&] { return poller.LockedPolls() > 0; }));
        rig.reset();  // torn down while streaming and while the poller still reads
    }
}

TEST(SimThreads, ManualClockAdvancedWhileAnotherThreadPollsAndTunes) {
    CSimTestRig rig(2);
    const SimTune tune{11362, 'H', 22000};
    ASSERT_EQ(rig.SendCommittedSwitch('B', tune), S_OK);
    ASSERT_EQ(rig.Tune(tune), S_OK);
    ASSERT_EQ(rig.Run(), S_OK);
    CStatisticsPoller poller(rig.TunerFilter());
    std::uint64_t samples = 0;
    for (int step = 0; step < 40; ++step) {
        rig.Clock().AdvanceMs(50);
        // Advance returned only after the streaming thread caught up: the count is exact.
        const std::uint64_t now = rig.SamplesReceived();
        EXPECT_GE(now, samples);
        samples = now;
    }
    EXPECT_GT(samples, 20u);
    EXPECT_TRUE(WaitUntil([&] { return poller.Polls() > 10; }));
    ASSERT_EQ(rig.Stop(), S_OK);
}

}  // namespace
