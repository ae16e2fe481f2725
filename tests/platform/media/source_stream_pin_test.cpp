#include "platform/media/source_stream_pin.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/media/base_filter.h"
#include "platform/media/media_types.h"
#include "platform/media/wait_until.h"
#include "support/hang_watchdog.h"
#include "support/test_sink_filter.h"
#include "support/test_sink_pin.h"

namespace {

constexpr LONG kSampleBytes = 64;

// What the scripted loop does after each sample it handed to DeliverSample.
enum class Loop {
    Deliver,      // goes on until GetSample gives null or the stop flag is set
    HoldAndAsk,   // keeps every sample: waits in GetSample once the pool is empty
    WaitForWake,  // waits until Wake, as a loop that waits for data or a clock does
    Throw,        // throws out of the hook
    Return,       // returns: the stream has ended by itself
};

// A minimal pin on the base: counts every hook, runs the scripted loop.
class CScriptedStreamPin final : public CSourceStreamPin {
public:
    CScriptedStreamPin(CBaseFilter* filter, CCritSec* lock, Delivery delivery, Loop loop)
        : CSourceStreamPin(L"scripted output", filter, lock, L"Output", 2, kSampleBytes, delivery),
          m_loop(loop) {}
    ~CScriptedStreamPin() override { Inactive(); }

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override {
        return pmt == nullptr ? E_POINTER : S_OK;
    }
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* pmt) override {
        if (position != 0) return VFW_S_NO_MORE_ITEMS;
        *pmt = AM_MEDIA_TYPE{};
        pmt->majortype = MEDIATYPE_Stream;
        return S_OK;
    }
    using CSourceStreamPin::Pool;

    std::atomic<HRESULT> m_hrOnActive{S_OK};  // OnActive's answer
    std::atomic<int> m_nOnActive{0};
    std::atomic<int> m_nWake{0};
    std::atomic<int> m_nOnInactive{0};
    std::atomic<int> m_nThreadExit{0};
    std::atomic<std::uint64_t> m_nAttempts{0};  // DeliverSample calls
    std::atomic<HRESULT> m_hrLast{S_OK};        // what the last one returned
    std::atomic<bool> m_bWaiting{false};        // inside the WaitForWake wait

private:
    HRESULT OnActive() override {
        ++m_nOnActive;
        std::lock_guard guard(m_wakeLock);
        m_bWoken = false;
        return m_hrOnActive.load();
    }
    void Wake() override {
        ++m_nWake;
        std::lock_guard guard(m_wakeLock);
        m_bWoken = true;
        m_woken.notify_all();
    }
    void OnInactive() override { ++m_nOnInactive; }
    void OnThreadExit() override { ++m_nThreadExit; }

    void StreamLoop() override {
        std::vector<ComPtr<IMediaSample>> held;
        while (!StopRequested()) {
            ComPtr<IMediaSample> sample = GetSample();
            if (!sample) return;
            sample->SetActualDataLength(kSampleBytes);
            m_hrLast = DeliverSample(sample.Get());
            ++m_nAttempts;
            switch (m_loop) {
                case Loop::Deliver:
                    break;
                case Loop::HoldAndAsk:
                    held.push_back(sample);
                    break;
                case Loop::WaitForWake: {
                    std::unique_lock lock(m_wakeLock);
                    m_bWaiting = true;
                    m_woken.wait(lock, [this] { return m_bWoken; });
                    m_bWaiting = false;
                    break;
                }
                case Loop::Throw:
                    throw std::runtime_error("the hook failed");
                case Loop::Return:
                    return;
            }
        }
    }

    const Loop m_loop;
    std::mutex m_wakeLock;
    std::condition_variable m_woken;
    bool m_bWoken = false;
};

class CScriptedSourceFilter final : public CBaseFilter {
public:
    CScriptedSourceFilter(CSourceStreamPin::Delivery delivery, Loop loop)
        : CBaseFilter(L"scripted source", nullptr, &m_lock, GUID{}),
          m_pin(this, &m_lock, delivery, loop) {}
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override { return n == 0 ? &m_pin : nullptr; }

    CCritSec m_lock;
    CScriptedStreamPin m_pin;
};

// A scripted source connected to a test sink; the sink runs unless a test stops it.
struct Rig {
    Rig(CSourceStreamPin::Delivery delivery, Loop loop)
        : source(new CScriptedSourceFilter(delivery, loop)), sink(new CTestSinkFilter(&sinkLock)) {
        EXPECT_EQ(pin().Connect(sink->InputPin(), nullptr), S_OK);
        EXPECT_EQ(sink->Run(0), S_OK);
    }
    // Connected pins hold each other's filter: without a graph to break the connection, the rig
    // does.
    ~Rig() {
        source->Stop();
        sink->Stop();
        pin().Disconnect();
        sink->InputPin()->Disconnect();
    }
    CScriptedStreamPin& pin() { return source->m_pin; }
    std::uint64_t Received() const { return sink->InputPin()->Received(); }

    CCritSec sinkLock;
    ComPtr<CScriptedSourceFilter> source;
    ComPtr<CTestSinkFilter> sink;
};

using Delivery = CSourceStreamPin::Delivery;

struct EndCase {
    const char* name;
    Loop loop;
    bool endsByItself;  // the thread is over before Stop
};

class SourceStreamPinEnd : public ::testing::TestWithParam<EndCase> {};

// However the loop waits or ends, Stop returns, runs every control hook once, and the counts
// agree with what the sink got; an exception stays on the streaming thread. (WhileActive: no
// sample is dropped between Pause and Run, so the counts are exact.)
TEST_P(SourceStreamPinEnd, StopJoinsTheThreadWhereverTheLoopIs) {
    const EndCase& c = GetParam();
    Rig rig(Delivery::WhileActive, c.loop);
    CScriptedStreamPin& pin = rig.pin();
    ASSERT_EQ(rig.source->Run(0), S_OK);
    switch (c.loop) {
        case Loop::Deliver:
            ASSERT_TRUE(WaitUntil([&] { return pin.SamplesDelivered() >= 5; }));
            break;
        case Loop::HoldAndAsk:
            ASSERT_TRUE(WaitUntil([&] { return pin.Pool().WaitingProducers() == 1; }));
            break;
        case Loop::WaitForWake:
            ASSERT_TRUE(WaitUntil([&] { return pin.m_bWaiting.load(); }));
            break;
        case Loop::Throw:
        case Loop::Return:
            ASSERT_TRUE(WaitUntil([&] { return !pin.IsStreaming(); }));
            break;
    }
    if (c.endsByItself) {
        EXPECT_EQ(pin.m_nThreadExit.load(), 1) << "the exit hook runs when the loop ends";
        EXPECT_EQ(pin.SamplesDelivered(), 1u);
    } else {
        EXPECT_TRUE(pin.IsStreaming());
    }
    {
        CHangWatchdog watchdog(std::string("Stop with the loop in ") + c.name,
                               std::chrono::seconds(60));
        EXPECT_EQ(rig.source->Stop(), S_OK);
    }
    EXPECT_FALSE(pin.IsStreaming());
    EXPECT_EQ(pin.m_nOnActive.load(), 1);
    EXPECT_EQ(pin.m_nWake.load(), 1);
    EXPECT_EQ(pin.m_nOnInactive.load(), 1);
    EXPECT_EQ(pin.m_nThreadExit.load(), 1);
    EXPECT_EQ(pin.SamplesDelivered(), rig.Received());
    EXPECT_EQ(pin.SamplesDelivered(), pin.m_nAttempts.load());
    EXPECT_EQ(pin.Pool().FreeCount(), 2u) << "every sample is back";
}

INSTANTIATE_TEST_SUITE_P(Loops, SourceStreamPinEnd,
                         ::testing::Values(EndCase{"Deliver", Loop::Deliver, false},
                                           EndCase{"GetSample", Loop::HoldAndAsk, false},
                                           EndCase{"WaitForWake", Loop::WaitForWake, false},
                                           EndCase{"Throw", Loop::Throw, true},
                                           EndCase{"Return", Loop::Return, true}),
                         [](const ::testing::TestParamInfo<EndCase>& row) {
                             return std::string(row.param.name);
                         });

struct PausedCase {
    const char* name;
    Delivery delivery;
    bool deliversWhilePaused;
};

class SourceStreamPinPaused : public ::testing::TestWithParam<PausedCase> {};

// A live source passes nothing on while paused (S_FALSE, the partner is not called); a source of
// stored data does. Both deliver once the filter runs.
TEST_P(SourceStreamPinPaused, DeliversWhileThePolicyAllows) {
    const PausedCase& c = GetParam();
    Rig rig(c.delivery, Loop::Deliver);
    CScriptedStreamPin& pin = rig.pin();
    ASSERT_EQ(rig.source->Pause(), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return pin.m_nAttempts.load() >= 5; }));
    if (c.deliversWhilePaused) {
        EXPECT_GT(pin.SamplesDelivered(), 0u);
    } else {
        EXPECT_EQ(pin.SamplesDelivered(), 0u);
        EXPECT_EQ(rig.Received(), 0u);
        EXPECT_EQ(pin.m_hrLast.load(), S_FALSE);
    }
    ASSERT_EQ(rig.source->Run(0), S_OK);
    const std::uint64_t before = pin.SamplesDelivered();
    ASSERT_TRUE(WaitUntil([&] { return pin.SamplesDelivered() >= before + 5; }));
    ASSERT_EQ(rig.source->Stop(), S_OK);
    EXPECT_EQ(pin.SamplesDelivered(), rig.Received());
}

INSTANTIATE_TEST_SUITE_P(
    Policies, SourceStreamPinPaused,
    ::testing::Values(PausedCase{"WhileRunning", Delivery::WhileRunning, false},
                      PausedCase{"WhileActive", Delivery::WhileActive, true}),
    [](const ::testing::TestParamInfo<PausedCase>& row) { return std::string(row.param.name); });

TEST(SourceStreamPin, EveryStartRunsTheHooksOnceAndTheCountGoesOn) {
    Rig rig(Delivery::WhileRunning, Loop::Deliver);
    CScriptedStreamPin& pin = rig.pin();
    for (int cycle = 1; cycle <= 3; ++cycle) {
        const std::uint64_t before = pin.SamplesDelivered();
        ASSERT_EQ(rig.source->Run(0), S_OK);
        EXPECT_EQ(pin.Active(), S_OK) << "a second Active while streaming";
        ASSERT_TRUE(WaitUntil([&] { return pin.SamplesDelivered() >= before + 3; }));
        ASSERT_EQ(rig.source->Stop(), S_OK);
        EXPECT_FALSE(pin.IsStreaming());
        EXPECT_EQ(pin.m_nOnActive.load(), cycle);
        EXPECT_EQ(pin.m_nOnInactive.load(), cycle);
        EXPECT_EQ(pin.m_nThreadExit.load(), cycle);
        EXPECT_EQ(pin.SamplesDelivered(), rig.Received()) << "counted since the pin was made";
    }
    EXPECT_EQ(pin.Inactive(), S_OK) << "nothing to stop";
    EXPECT_EQ(pin.m_nOnInactive.load(), 3);
}

TEST(SourceStreamPin, OnActiveFailureFailsThePauseAndStartsNothing) {
    Rig rig(Delivery::WhileRunning, Loop::Deliver);
    CScriptedStreamPin& pin = rig.pin();
    pin.m_hrOnActive = E_ACCESSDENIED;
    EXPECT_EQ(rig.source->Pause(), E_ACCESSDENIED);
    EXPECT_FALSE(pin.IsStreaming());
    EXPECT_EQ(pin.Inactive(), S_OK);
    EXPECT_EQ(pin.m_nOnInactive.load(), 0) << "nothing was opened";
    EXPECT_EQ(pin.m_nThreadExit.load(), 0);
    EXPECT_EQ(pin.m_nAttempts.load(), 0u);

    pin.m_hrOnActive = S_OK;
    ASSERT_EQ(rig.source->Run(0), S_OK);
    EXPECT_TRUE(WaitUntil([&] { return pin.SamplesDelivered() > 0; }));
}

// "Delivered" means handed to the partner: a sample the partner refuses still counts, and the
// loop sees the refusal.
TEST(SourceStreamPin, CountsSamplesThePartnerRefused) {
    Rig rig(Delivery::WhileActive, Loop::Deliver);
    CScriptedStreamPin& pin = rig.pin();
    ASSERT_EQ(rig.sink->Stop(), S_OK);
    ASSERT_EQ(rig.source->Run(0), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return pin.SamplesDelivered() >= 3; }));
    ASSERT_EQ(rig.source->Stop(), S_OK);
    EXPECT_EQ(rig.Received(), 0u);
    EXPECT_EQ(pin.m_hrLast.load(), VFW_E_WRONG_STATE);
    EXPECT_EQ(pin.SamplesDelivered(), pin.m_nAttempts.load());
}

}  // namespace
