#include "platform/media/sample_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <set>
#include <thread>

#include "platform/media/filter_graph.h"
#include "platform/media/inf_tee.h"
#include "platform/media/inf_tee_input_pin.h"
#include "platform/media/sample_data.h"
#include "platform/media/wait_until.h"
#include "support/allocation_counter.h"
#include "support/test_sink_filter.h"
#include "support/test_sink_pin.h"
#include "support/test_source_filter.h"

namespace {

BYTE* BufferOf(const ComPtr<IMediaSample>& sample) {
    BYTE* p = nullptr;
    EXPECT_EQ(sample->GetPointer(&p), S_OK);
    return p;
}

TEST(SamplePoolTest, HandsOutEachFixedBufferOnceAndReusesReturnedOnes) {
    CSamplePool pool(3, 1000);
    std::vector<ComPtr<IMediaSample>> held;
    std::set<BYTE*> buffers;
    for (int i = 0; i < 3; ++i) {
        held.push_back(pool.TryGetSample());
        ASSERT_TRUE(held.back());
        EXPECT_EQ(held.back()->GetSize(), 1000);
        EXPECT_EQ(held.back()->GetActualDataLength(), 0);
        buffers.insert(BufferOf(held.back()));
    }
    EXPECT_EQ(buffers.size(), 3u);
    EXPECT_EQ(pool.FreeCount(), 0u);
    EXPECT_FALSE(pool.TryGetSample()) << "all are out";

    BYTE* second = BufferOf(held[1]);
    ASSERT_EQ(held[1]->SetActualDataLength(1000), S_OK);
    ComPtr<IMediaSample> extra = held[1];  // a second reference keeps it out
    held[1].Reset();
    EXPECT_FALSE(pool.TryGetSample());
    extra.Reset();
    EXPECT_EQ(pool.FreeCount(), 1u);
    ComPtr<IMediaSample> again = pool.GetSample();
    ASSERT_TRUE(again);
    EXPECT_EQ(BufferOf(again), second) << "the returned buffer comes back";
    EXPECT_EQ(again->GetActualDataLength(), 0) << "with no data";
}

TEST(SamplePoolTest, ActualLengthStaysWithinTheBuffer) {
    CSamplePool pool(1, 188);
    ComPtr<IMediaSample> sample = pool.GetSample();
    struct Case {
        LONG length;
        HRESULT expected;
    };
    for (const Case& c :
         {Case{0, S_OK}, Case{188, S_OK}, Case{189, E_INVALIDARG}, Case{-1, E_INVALIDARG}}) {
        EXPECT_EQ(sample->SetActualDataLength(c.length), c.expected) << c.length;
    }
    EXPECT_EQ(sample->GetActualDataLength(), 188) << "a refused length changes nothing";
    EXPECT_EQ(sample->GetPointer(nullptr), E_POINTER);
    EXPECT_TRUE(sample.As<IMediaSample>());
    EXPECT_FALSE(sample.As<IPin>());
}

TEST(SamplePoolTest, GetSampleWaitsForAReleaseOnAnotherThread) {
    CSamplePool pool(1, 64);
    ComPtr<IMediaSample> held = pool.GetSample();
    BYTE* buffer = BufferOf(held);
    std::atomic<bool> got{false};
    BYTE* gotBuffer = nullptr;
    std::thread producer([&] {
        ComPtr<IMediaSample> sample = pool.GetSample();
        gotBuffer = sample ? BufferOf(sample) : nullptr;
        got = true;
    });
    // The only sample is held here, so the producer cannot have one yet.
    EXPECT_FALSE(got.load());
    held.Reset();
    producer.join();
    EXPECT_TRUE(got.load());
    EXPECT_EQ(gotBuffer, buffer);
}

TEST(SamplePoolTest, DecommitWakesAWaitingProducerWithNothing) {
    CSamplePool pool(1, 64);
    ComPtr<IMediaSample> held = pool.GetSample();
    std::atomic<bool> done{false};
    bool gotNull = false;
    std::thread producer([&] {
        gotNull = !pool.GetSample();
        done = true;
    });
    EXPECT_FALSE(done.load());
    pool.Decommit();
    producer.join();
    EXPECT_TRUE(gotNull);
    held.Reset();
    EXPECT_FALSE(pool.GetSample()) << "decommitted even with a free sample";
    pool.Commit();
    EXPECT_TRUE(pool.GetSample());
}

TEST(SamplePoolTest, SamplesOutliveTheirPool) {
    ComPtr<IMediaSample> survivor;
    {
        CSamplePool pool(2, 32);
        survivor = pool.GetSample();
    }
    BYTE* p = BufferOf(survivor);
    std::memset(p, 0xAB, 32);  // the buffer is still there (ASan would say otherwise)
    EXPECT_EQ(survivor->SetActualDataLength(32), S_OK);
    survivor.Reset();  // the last one out frees what the pool left behind
}

TEST(SamplePoolTest, AProducerWaitingWhenThePoolGoesAwayGetsNothing) {
    auto pool = std::make_unique<CSamplePool>(1, 16);
    ComPtr<IMediaSample> held = pool->GetSample();
    std::atomic<bool> done{false};
    bool gotNull = false;
    CSamplePool* raw = pool.get();
    std::thread producer([&] {
        gotNull = !raw->GetSample();
        done = true;
    });
    ASSERT_TRUE(WaitUntil([&] { return pool->WaitingProducers() == 1; }));
    EXPECT_FALSE(done.load());
    pool.reset();
    producer.join();
    EXPECT_TRUE(gotNull);
    held.Reset();  // the last user frees the pool's shared state (LeakSanitizer checks)
}

// One producer, two consumers that release on their own threads (ThreadSanitizer checks the
// hand-over of buffer contents through the pool).
TEST(SamplePoolTest, SamplesCirculateBetweenThreads) {
    constexpr int kSamples = 20000;
    CSamplePool pool(4, 256);
    std::mutex lock;
    std::condition_variable ready;
    std::deque<ComPtr<IMediaSample>> queue;
    bool finished = false;
    std::atomic<int> checked{0};
    std::atomic<int> corrupt{0};

    auto consumer = [&] {
        for (;;) {
            ComPtr<IMediaSample> sample;
            {
                std::unique_lock guard(lock);
                ready.wait(guard, [&] { return finished || !queue.empty(); });
                if (queue.empty()) return;
                sample = std::move(queue.front());
                queue.pop_front();
            }
            BYTE* p = BufferOf(sample);
            const LONG n = sample->GetActualDataLength();
            for (LONG i = 1; i < n; ++i) {
                if (p[i] != p[0]) ++corrupt;
            }
            ++checked;
        }
    };
    std::thread c1(consumer);
    std::thread c2(consumer);
    for (int i = 0; i < kSamples; ++i) {
        ComPtr<IMediaSample> sample = pool.GetSample();
        ASSERT_TRUE(sample);
        std::memset(BufferOf(sample), i & 0xFF, 256);
        sample->SetActualDataLength(256);
        {
            std::lock_guard guard(lock);
            queue.push_back(std::move(sample));
        }
        ready.notify_one();
    }
    {
        std::lock_guard guard(lock);
        finished = true;
    }
    ready.notify_all();
    c1.join();
    c2.join();
    EXPECT_EQ(checked.load(), kSamples);
    EXPECT_EQ(corrupt.load(), 0);
    EXPECT_EQ(pool.FreeCount(), 4u);
}

AM_MEDIA_TYPE StreamType() {
    AM_MEDIA_TYPE mt;
    mt.majortype = MEDIATYPE_Stream;
    mt.subtype = MEDIASUBTYPE_MPEG2_TRANSPORT;
    return mt;
}

// The streaming path (pool, output pin, tee, two sinks, release) allocates nothing per sample.
TEST(SamplePoolTest, TheStreamingPathAllocatesNothingPerSample) {
    constexpr std::uint64_t kSamples = 2000;
    constexpr LONG kSize = 65424;
    std::atomic<std::uint64_t> allocations{~0ull};
    ComPtr<IGraphBuilder> graph(new CFilterGraph);
    CCritSec lock;
    auto* src = new CTestSourceFilter(StreamType(), 4, kSize,
                                      [&](BYTE* buffer, LONG size, std::uint64_t index) -> LONG {
                                          // Counting spans every sample's whole round trip.
                                          if (index == 0) CAllocationCounter::Begin();
                                          if (index == kSamples) {
                                              allocations = CAllocationCounter::End();
                                              return -1;
                                          }
                                          buffer[0] = static_cast<BYTE>(index);
                                          return size;
                                      });
    auto* tee = new CInfTee;
    auto* sink1 = new CTestSinkFilter(&lock, 16);
    auto* sink2 = new CTestSinkFilter(&lock, 16);
    graph->AddFilter(src, nullptr);
    graph->AddFilter(tee, nullptr);
    graph->AddFilter(sink1, nullptr);
    graph->AddFilter(sink2, nullptr);
    ASSERT_EQ(graph->Connect(src->OutputPin(), tee->InputPin()), S_OK);
    ASSERT_EQ(graph->Connect(tee->GetPin(1), sink1->InputPin()), S_OK);
    ASSERT_EQ(graph->Connect(tee->GetPin(2), sink2->InputPin()), S_OK);
    sink1->InputPin()->SetLockInReceive(true);

    auto control = graph.As<IMediaControl>();
    ASSERT_EQ(control->Run(), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return sink2->InputPin()->EndOfStreams() == 1; }));
    ASSERT_EQ(control->Stop(), S_OK);
    EXPECT_EQ(sink1->InputPin()->Received(), kSamples);
    EXPECT_EQ(sink2->InputPin()->BytesReceived(), kSamples * kSize);
    EXPECT_EQ(allocations.load(), 0u);

    std::set<const BYTE*> buffers;
    for (const auto& r : sink1->InputPin()->Records()) buffers.insert(r.pBuffer);
    EXPECT_LE(buffers.size(), 4u) << "only the pool's buffers circulate";
}

}  // namespace

// A sample whose buffer cannot be had, as a broken upstream filter might deliver.
struct CPointerlessSample final : IMediaSample {
    HRESULT QueryInterface(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT GetPointer(BYTE**) override { return E_FAIL; }
    LONG GetSize() override { return 188; }
    LONG GetActualDataLength() override { return 188; }
    HRESULT SetActualDataLength(LONG) override { return S_OK; }
};

TEST(SampleDataTest, TheBytesASampleCarriesOrWhyThereAreNone) {
    CSamplePool pool(1, 376);
    ComPtr<IMediaSample> sample = pool.GetSample();
    BYTE* buffer = nullptr;
    ASSERT_EQ(sample->GetPointer(&buffer), S_OK);
    std::span<const std::uint8_t> data{reinterpret_cast<const std::uint8_t*>(&buffer), 1};
    EXPECT_EQ(media::SampleData(sample.Get(), &data), S_OK);
    EXPECT_TRUE(data.empty()) << "a sample without data";

    ASSERT_EQ(sample->SetActualDataLength(188), S_OK);
    EXPECT_EQ(media::SampleData(sample.Get(), &data), S_OK);
    EXPECT_EQ(data.data(), buffer);
    EXPECT_EQ(data.size(), 188u) << "the data, not the whole buffer";

    CPointerlessSample broken;
    EXPECT_EQ(media::SampleData(&broken, &data), E_FAIL);
    EXPECT_TRUE(data.empty()) << "nothing to read from a failed sample";
}
