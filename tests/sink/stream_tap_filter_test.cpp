#include "sink/stream_tap_filter.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <mutex>

#include "platform/media/filter_graph.h"
#include "platform/media/inf_tee.h"
#include "platform/media/inf_tee_input_pin.h"
#include "platform/media/media_types.h"
#include "platform/media/wait_until.h"
#include "sink/stream_tap_input_pin.h"
#include "support/hang_watchdog.h"
#include "support/test_source_filter.h"

namespace {

constexpr LONG kSampleSize = 1000;  // not a multiple of 188: packets straddle samples

// Byte i of the endless test stream: packets of PID 0x100 whose payload bytes count on.
std::uint8_t StreamByte(std::uint64_t i) {
    const std::uint64_t packet = i / 188;
    switch (i % 188) {
        case 0:
            return 0x47;
        case 1:
            return 0x01;
        case 2:
            return 0x00;
        case 3:
            return static_cast<std::uint8_t>(0x10 | (packet & 0x0F));
        default:
            return static_cast<std::uint8_t>(packet * 7 + i);
    }
}

class CCollector : public ITransportPacketConsumer {
public:
    void OnPackets(std::span<const std::uint8_t> packets) override {
        std::unique_lock lock(m_lock);
        ++m_nCalls;
        m_bInside = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_bOpen; });
        m_bytes.insert(m_bytes.end(), packets.begin(), packets.end());
        m_bInside = false;
        m_changed.notify_all();
    }
    void SetOpen(bool open) {
        std::lock_guard guard(m_lock);
        m_bOpen = open;
        m_changed.notify_all();
    }
    std::size_t Size() {
        std::lock_guard guard(m_lock);
        return m_bytes.size();
    }
    std::vector<std::uint8_t> Bytes() {
        std::lock_guard guard(m_lock);
        return m_bytes;
    }
    int Calls() {
        std::lock_guard guard(m_lock);
        return m_nCalls;
    }
    bool Inside() {
        std::lock_guard guard(m_lock);
        return m_bInside;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_bOpen = true;
    bool m_bInside = false;
    int m_nCalls = 0;
    std::vector<std::uint8_t> m_bytes;
};

// source -> tee -> tap, as in the tuner graph; the source stops after `samples` samples.
struct TapGraph {
    ComPtr<IGraphBuilder> graph{new CFilterGraph};
    CTestSourceFilter* source;
    ComPtr<CInfTee> tee = MakeComObject<CInfTee>();
    ComPtr<CStreamTapFilter> tap;

    TapGraph(std::size_t capacity, std::uint64_t samples)
        : source(new CTestSourceFilter(media::TransportStreamType(), 4, kSampleSize,
                                       [samples](BYTE* buffer, LONG size, std::uint64_t index) {
                                           if (index >= samples) return LONG{-1};
                                           for (LONG i = 0; i < size; ++i)
                                               buffer[i] = StreamByte(index * kSampleSize + i);
                                           return size;
                                       })),
          tap(MakeComObject<CStreamTapFilter>(capacity)) {
        EXPECT_EQ(graph->AddFilter(source, L"capture"), S_OK);
        EXPECT_EQ(graph->AddFilter(tee.Get(), L"Infinite pin tee splitter"), S_OK);
        EXPECT_EQ(graph->AddFilter(tap.Get(), L"Stream Tap"), S_OK);
        EXPECT_EQ(graph->Connect(source->OutputPin(), tee->InputPin()), S_OK);
        ComPtr<IPin> teeOut;
        EXPECT_EQ(tee->FindPin(L"Output1", teeOut.ReleaseAndGetAddressOf()), S_OK);
        EXPECT_EQ(graph->Connect(teeOut.Get(), tap->InputPin()), S_OK);
    }
    HRESULT Run() { return graph.As<IMediaControl>()->Run(); }
    HRESULT Stop() { return graph.As<IMediaControl>()->Stop(); }
};

TEST(StreamTapFilterTest, ConsumersGetWholePacketsInOrderWhereverSamplesCutThem) {
    constexpr std::uint64_t kSamples = 300;
    TapGraph g(CStreamTapFilter::kDefaultCapacity, kSamples);
    auto first = std::make_shared<CCollector>();
    auto second = std::make_shared<CCollector>();
    g.tap->AddConsumer(first);
    g.tap->AddConsumer(second);
    ASSERT_EQ(g.Run(), S_OK);
    const std::size_t wholePackets = kSamples * kSampleSize / 188;
    ASSERT_TRUE(WaitUntil([&] { return second->Size() == wholePackets * 188; }));
    EXPECT_EQ(g.Stop(), S_OK);

    std::vector<std::uint8_t> expected(wholePackets * 188);
    for (std::size_t i = 0; i < expected.size(); ++i) expected[i] = StreamByte(i);
    EXPECT_EQ(first->Bytes(), expected);
    EXPECT_EQ(second->Bytes(), expected);
    EXPECT_EQ(g.tap->DroppedBytes(), 0u);
    EXPECT_EQ(g.tap->DeliveredPackets(), wholePackets);
}

TEST(StreamTapFilterTest, WithoutAConsumerNothingIsQueuedOrDropped) {
    TapGraph g(4 * kSampleSize, 500);
    ASSERT_EQ(g.Run(), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return !g.source->IsStreaming(); }));
    EXPECT_EQ(g.Stop(), S_OK);
    EXPECT_EQ(g.tap->DroppedBytes(), 0u);
    EXPECT_EQ(g.tap->DeliveredPackets(), 0u);
}

// Guards against a streaming thread held up by a consumer that does not return: the samples go
// on, the overflow is counted, and neither the stop nor the release waits for the queue.
TEST(StreamTapFilterTest, AStalledConsumerCostsDroppedDataNotAStalledStreamOrStop) {
    const CHangWatchdog watchdog("stalled tap consumer", std::chrono::seconds(60));
    constexpr std::size_t kCapacity = 16 * kSampleSize;
    constexpr std::uint64_t kSamples = 200;
    TapGraph g(kCapacity, kSamples);
    auto stalled = std::make_shared<CCollector>();
    stalled->SetOpen(false);
    g.tap->AddConsumer(stalled);
    ASSERT_EQ(g.Run(), S_OK);

    // Every sample passes the tap although its consumer waits in its first call.
    ASSERT_TRUE(WaitUntil([&] { return !g.source->IsStreaming(); }));
    EXPECT_EQ(g.source->SamplesDelivered(), kSamples);
    // The worker may come to its first block only after the source has ended (a slow machine).
    ASSERT_TRUE(WaitUntil([&] { return stalled->Inside(); }));
    // One sample's worth is with the consumer, the queue holds kCapacity minus that, the rest
    // was dropped whole.
    EXPECT_EQ(g.tap->DroppedBytes(), kSamples * kSampleSize - kCapacity);

    EXPECT_EQ(g.Stop(), S_OK) << "the stop does not wait for the consumer";
    stalled->SetOpen(true);
    ASSERT_TRUE(WaitUntil([&] { return g.tap->DeliveredPackets() > 0; }));
    EXPECT_EQ(stalled->Calls(), 1) << "what was queued at the stop is discarded";
    EXPECT_EQ(stalled->Size(), g.tap->DeliveredPackets() * 188);
    // Released with its consumer attached: the worker ends.
    g.graph->RemoveFilter(g.tap.Get());
    g.tap.Reset();
}

}  // namespace
