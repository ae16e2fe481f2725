#include "platform/media/inf_tee.h"

#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <set>

#include "platform/media/filter_graph.h"
#include "platform/media/inf_tee_input_pin.h"
#include "platform/media/inf_tee_output_pin.h"
#include "platform/media/sample_pool.h"
#include "platform/media/wait_until.h"
#include "support/test_sink_filter.h"
#include "support/test_sink_pin.h"
#include "support/test_source_filter.h"

namespace {

AM_MEDIA_TYPE CaptureType() {
    AM_MEDIA_TYPE mt;
    mt.majortype = MEDIATYPE_Stream;
    mt.subtype = MEDIASUBTYPE_MPEG2_TRANSPORT;
    mt.lSampleSize = 188;
    return mt;
}

// What the recording sink prefers: a stream of 188-byte samples, any subtype.
AM_MEDIA_TYPE SinkPreferredType() {
    AM_MEDIA_TYPE mt;
    mt.majortype = MEDIATYPE_Stream;
    mt.bFixedSizeSamples = TRUE;
    mt.lSampleSize = 188;
    return mt;
}

std::vector<std::wstring> PinNames(IBaseFilter* filter) {
    std::vector<std::wstring> names;
    ComPtr<IEnumPins> pins;
    EXPECT_EQ(filter->EnumPins(pins.ReleaseAndGetAddressOf()), S_OK);
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        std::wstring id;
        pin->QueryId(&id);
        PIN_DIRECTION dir;
        pin->QueryDirection(&dir);
        IPin* partner = nullptr;
        const bool connected = pin->ConnectedTo(&partner) == S_OK;
        if (partner) partner->Release();
        names.push_back(id + (connected ? L"*" : L""));
    }
    return names;
}

// The first free output pin, as the tuner graph's ConnectPins finds it.
ComPtr<IPin> FirstFreeOutput(IBaseFilter* filter) {
    ComPtr<IEnumPins> pins;
    filter->EnumPins(pins.ReleaseAndGetAddressOf());
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        PIN_DIRECTION dir;
        pin->QueryDirection(&dir);
        IPin* partner = nullptr;
        if (dir == PINDIR_OUTPUT && pin->ConnectedTo(&partner) == VFW_E_NOT_CONNECTED) return pin;
        if (partner) partner->Release();
    }
    return nullptr;
}

LONG FillIndex(BYTE* buffer, LONG size, std::uint64_t index) {
    std::memset(buffer, static_cast<int>(index & 0xFF), static_cast<std::size_t>(size));
    return size;
}

struct TeeGraph {
    ComPtr<IGraphBuilder> graph{new CFilterGraph};
    CCritSec sinkLock;
    CTestSourceFilter* src;
    CInfTee* tee = new CInfTee;

    explicit TeeGraph(CTestSourceFilter::Generator generator = FillIndex,
                      std::size_t poolSamples = 3)
        : src(new CTestSourceFilter(CaptureType(), poolSamples, 512, std::move(generator))) {
        EXPECT_EQ(graph->AddFilter(src, L"capture"), S_OK);
        EXPECT_EQ(graph->AddFilter(tee, L"Infinite pin tee splitter"), S_OK);
    }
    CTestSinkFilter* AddSink(const wchar_t* name) {
        auto* sink = new CTestSinkFilter(&sinkLock);
        EXPECT_EQ(graph->AddFilter(sink, name), S_OK);
        return sink;
    }
    HRESULT ConnectSink(CTestSinkFilter* sink) {
        ComPtr<IPin> out = FirstFreeOutput(tee);
        return graph->Connect(out.Get(), sink->InputPin());
    }
    ComPtr<IMediaControl> Control() { return graph.As<IMediaControl>(); }
};

TEST(InfTeeTest, AlwaysExactlyOneFreeOutputThatConnectsOnlyBehindTheInput) {
    TeeGraph g;
    EXPECT_EQ(PinNames(g.tee), (std::vector<std::wstring>{L"Input", L"Output1"}));
    CTestSinkFilter* early = g.AddSink(L"early");
    early->InputPin()->SetOfferedType(CaptureType());
    EXPECT_EQ(g.ConnectSink(early), VFW_E_NOT_CONNECTED) << "the input is not connected yet";
    EXPECT_EQ(PinNames(g.tee), (std::vector<std::wstring>{L"Input", L"Output1"}));

    ASSERT_EQ(g.graph->Connect(g.src->OutputPin(), g.tee->InputPin()), S_OK);
    ASSERT_EQ(g.ConnectSink(early), S_OK);
    EXPECT_EQ(PinNames(g.tee), (std::vector<std::wstring>{L"Input*", L"Output1*", L"Output2"}));
    CTestSinkFilter* second = g.AddSink(L"second");
    ASSERT_EQ(g.ConnectSink(second), S_OK);
    EXPECT_EQ(PinNames(g.tee),
              (std::vector<std::wstring>{L"Input*", L"Output1*", L"Output2*", L"Output3"}));

    // Taking the first sink away leaves its pin free beside Output3: one of them goes.
    ComPtr<IPin> output1;
    ASSERT_EQ(g.tee->FindPin(L"Output1", output1.ReleaseAndGetAddressOf()), S_OK);
    ASSERT_EQ(g.graph->RemoveFilter(early), S_OK);
    EXPECT_EQ(PinNames(g.tee), (std::vector<std::wstring>{L"Input*", L"Output2*", L"Output3"}));
    std::wstring id;
    EXPECT_EQ(output1->QueryId(&id), S_OK) << "a pruned pin stays valid for its holders";
    EXPECT_EQ(id, L"Output1");
    ComPtr<IPin> gone;
    EXPECT_EQ(g.tee->FindPin(L"Output1", gone.ReleaseAndGetAddressOf()), VFW_E_NOT_FOUND);

    CTestSinkFilter* third = g.AddSink(L"third");
    ASSERT_EQ(g.ConnectSink(third), S_OK);
    EXPECT_EQ(PinNames(g.tee),
              (std::vector<std::wstring>{L"Input*", L"Output2*", L"Output3*", L"Output4"}));
}

TEST(InfTeeTest, OutputsCarryTheInputTypeWhateverTheReceiverPrefers) {
    TeeGraph g;
    ASSERT_EQ(g.graph->Connect(g.src->OutputPin(), g.tee->InputPin()), S_OK);
    CTestSinkFilter* picky = g.AddSink(L"picky");
    picky->InputPin()->SetOfferedType(SinkPreferredType());
    picky->InputPin()->SetAcceptedType(SinkPreferredType());
    ComPtr<IPin> out = FirstFreeOutput(g.tee);
    EXPECT_EQ(g.graph->Connect(out.Get(), picky->InputPin()), VFW_E_NO_ACCEPTABLE_TYPES);
    EXPECT_EQ(PinNames(g.tee), (std::vector<std::wstring>{L"Input*", L"Output1"}));

    // As the recording sink: offers its own preference first but takes any type; the tee
    // refuses the preference and offers the input's type.
    CTestSinkFilter* any = g.AddSink(L"Dest Filter");
    any->InputPin()->SetOfferedType(SinkPreferredType());
    ASSERT_EQ(g.ConnectSink(any), S_OK);
    AM_MEDIA_TYPE mt;
    ASSERT_EQ(any->InputPin()->ConnectionMediaType(&mt), S_OK);
    EXPECT_EQ(mt, CaptureType());

    // With an output connected, the input keeps its type.
    AM_MEDIA_TYPE other = CaptureType();
    other.lSampleSize = 65424;
    EXPECT_EQ(g.tee->InputPin()->QueryAccept(&other), S_FALSE);
    EXPECT_EQ(g.tee->InputPin()->QueryAccept(&mt), S_OK);
}

TEST(InfTeeTest, EachSampleGoesToEveryConnectedOutputInOrderWithoutACopy) {
    constexpr std::uint64_t kSamples = 200;
    TeeGraph g([](BYTE* buffer, LONG size, std::uint64_t index) -> LONG {
        if (index >= kSamples) return -1;
        return FillIndex(buffer, size, index);
    });
    ASSERT_EQ(g.graph->Connect(g.src->OutputPin(), g.tee->InputPin()), S_OK);
    CTestSinkFilter* first = g.AddSink(L"first");
    CTestSinkFilter* second = g.AddSink(L"second");
    ASSERT_EQ(g.ConnectSink(first), S_OK);
    ASSERT_EQ(g.ConnectSink(second), S_OK);

    // Both hooks run on the streaming thread; the log is only read after Stop.
    struct Arrival {
        int sink;
        IMediaSample* sample;
        BYTE firstByte;
    };
    std::vector<Arrival> order;
    order.reserve(2 * kSamples);
    auto record = [&order](int sink) {
        return [&order, sink](IMediaSample* s) {
            BYTE* p = nullptr;
            s->GetPointer(&p);
            order.push_back(Arrival{sink, s, p[0]});
        };
    };
    first->InputPin()->SetReceiveHook(record(1));
    second->InputPin()->SetReceiveHook(record(2));

    auto control = g.Control();
    ASSERT_EQ(control->Run(), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return second->InputPin()->EndOfStreams() == 1; }));
    ASSERT_EQ(control->Stop(), S_OK);

    EXPECT_EQ(first->InputPin()->EndOfStreams(), 1u) << "end of stream reaches every output";
    const auto& a = first->InputPin()->Records();
    const auto& b = second->InputPin()->Records();
    ASSERT_EQ(a.size(), kSamples);
    ASSERT_EQ(b.size(), kSamples);
    ASSERT_EQ(order.size(), 2 * kSamples);
    std::set<const BYTE*> buffers;
    for (std::size_t i = 0; i < kSamples; ++i) {
        EXPECT_EQ(a[i].pBuffer, b[i].pBuffer) << "the same buffer, not a copy, sample " << i;
        EXPECT_EQ(a[i].lLength, 512);
        EXPECT_EQ(order[2 * i].firstByte, static_cast<BYTE>(i & 0xFF)) << "in delivery order";
        EXPECT_EQ(order[2 * i + 1].firstByte, static_cast<BYTE>(i & 0xFF));
        EXPECT_EQ(order[2 * i].sink, 1) << "Output1's receiver first";
        EXPECT_EQ(order[2 * i + 1].sink, 2);
        EXPECT_EQ(order[2 * i].sample, order[2 * i + 1].sample) << "the same sample object";
        buffers.insert(a[i].pBuffer);
    }
    EXPECT_LE(buffers.size(), 3u) << "only the source pool's buffers circulate";
}

TEST(InfTeeTest, FlushAndSegmentsReachEveryConnectedOutput) {
    TeeGraph g;
    ASSERT_EQ(g.graph->Connect(g.src->OutputPin(), g.tee->InputPin()), S_OK);
    CTestSinkFilter* first = g.AddSink(L"first");
    CTestSinkFilter* second = g.AddSink(L"second");
    ASSERT_EQ(g.ConnectSink(first), S_OK);
    ASSERT_EQ(g.ConnectSink(second), S_OK);
    CInfTeeInputPin* input = g.tee->InputPin();
    EXPECT_EQ(input->BeginFlush(), S_OK);
    EXPECT_TRUE(input->IsFlushing());
    EXPECT_TRUE(first->InputPin()->IsFlushing());
    EXPECT_TRUE(second->InputPin()->IsFlushing());
    EXPECT_EQ(input->EndFlush(), S_OK);
    EXPECT_FALSE(second->InputPin()->IsFlushing());
    EXPECT_EQ(input->NewSegment(0, 100, 1.0), S_OK);
    EXPECT_EQ(first->InputPin()->Segments(), 1u);
    EXPECT_EQ(second->InputPin()->Segments(), 1u);
    EXPECT_EQ(first->InputPin()->Flushes(), 1u);
    EXPECT_EQ(input->ReceiveCanBlock(), S_FALSE) << "no receiver behind the tee blocks";
    second->InputPin()->SetLockInReceive(true);
    EXPECT_EQ(input->ReceiveCanBlock(), S_OK);
}

TEST(InfTeeTest, ReceiveRefusesWhileStoppedAndDropsWhileFlushing) {
    TeeGraph g;
    ASSERT_EQ(g.graph->Connect(g.src->OutputPin(), g.tee->InputPin()), S_OK);
    CTestSinkFilter* sink = g.AddSink(L"sink");
    ASSERT_EQ(g.ConnectSink(sink), S_OK);
    CSamplePool pool(1, 16);
    ComPtr<IMediaSample> sample = pool.GetSample();
    EXPECT_EQ(g.tee->InputPin()->Receive(sample.Get()), VFW_E_WRONG_STATE);
    ASSERT_EQ(g.tee->Pause(), S_OK);
    ASSERT_EQ(sink->Pause(), S_OK);
    EXPECT_EQ(g.tee->InputPin()->Receive(sample.Get()), S_OK);
    EXPECT_EQ(sink->InputPin()->Received(), 1u);
    g.tee->InputPin()->BeginFlush();
    EXPECT_EQ(g.tee->InputPin()->Receive(sample.Get()), S_FALSE);
    EXPECT_EQ(sink->InputPin()->Received(), 1u);
    ASSERT_EQ(sink->Stop(), S_OK);
    g.tee->InputPin()->EndFlush();
    EXPECT_EQ(g.tee->InputPin()->Receive(sample.Get()), VFW_E_WRONG_STATE)
        << "the failure of an output is reported";
    ASSERT_EQ(g.tee->Stop(), S_OK);
}

}  // namespace
