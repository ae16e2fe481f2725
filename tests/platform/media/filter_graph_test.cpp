#include "platform/media/filter_graph.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

#include "platform/com/co_create.h"
#include "platform/media/base_pin.h"
#include "platform/media/media_classes.h"
#include "platform/media/probe_filter.h"
#include "platform/media/wait_until.h"
#include "support/test_sink_filter.h"
#include "support/test_sink_pin.h"
#include "support/test_source_filter.h"

namespace {

using probe::Input;
using probe::kTypeA;
using probe::Output;

ComPtr<IGraphBuilder> NewGraph() {
    return ComPtr<IGraphBuilder>(new CFilterGraph);
}

std::wstring NameOf(IBaseFilter* filter) {
    FILTER_INFO info;
    EXPECT_EQ(filter->QueryFilterInfo(&info), S_OK);
    return info.achName;
}

TEST(FilterGraphTest, AddFilterNamesFiltersUniquely) {
    CProbeLog log;  // outlives the graph, whose teardown still logs
    auto graph = NewGraph();
    ComPtr<CProbeFilter> a(new CProbeFilter("a", &log, {}));
    ComPtr<CProbeFilter> b(new CProbeFilter("b", &log, {}));
    ComPtr<CProbeFilter> c(new CProbeFilter("c", &log, {}));
    ComPtr<CProbeFilter> d(new CProbeFilter("d", &log, {}));
    EXPECT_EQ(graph->AddFilter(a.Get(), L"Dest Filter"), S_OK);
    EXPECT_EQ(graph->AddFilter(b.Get(), nullptr), S_OK);
    EXPECT_EQ(graph->AddFilter(c.Get(), L""), S_OK);
    EXPECT_EQ(graph->AddFilter(d.Get(), L"Dest Filter"), VFW_E_DUPLICATE_NAME);
    EXPECT_EQ(graph->AddFilter(a.Get(), L"Again"), E_INVALIDARG) << "already in the graph";
    EXPECT_EQ(graph->AddFilter(nullptr, L"x"), E_POINTER);

    EXPECT_EQ(NameOf(a.Get()), L"Dest Filter");
    EXPECT_EQ(NameOf(b.Get()), L"Filter 0001");
    EXPECT_EQ(NameOf(c.Get()), L"Filter 0002");
    EXPECT_EQ(NameOf(d.Get()), L"") << "refused, not joined";
    EXPECT_EQ(a->Graph(), static_cast<IFilterGraph*>(graph.Get()));

    ComPtr<IBaseFilter> found;
    EXPECT_EQ(graph->FindFilterByName(L"Filter 0002", found.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(found.Get(), static_cast<IBaseFilter*>(c.Get()));
    EXPECT_EQ(graph->FindFilterByName(L"dest filter", found.ReleaseAndGetAddressOf()),
              VFW_E_NOT_FOUND);
    EXPECT_FALSE(found);

    ComPtr<IEnumFilters> filters;
    ASSERT_EQ(graph->EnumFilters(filters.ReleaseAndGetAddressOf()), S_OK);
    IBaseFilter* got[4] = {};
    ULONG fetched = 0;
    EXPECT_EQ(filters->Next(4, got, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 3u);
    EXPECT_EQ(got[0], static_cast<IBaseFilter*>(a.Get())) << "in the order of adding";
    EXPECT_EQ(got[1], static_cast<IBaseFilter*>(b.Get()));
    EXPECT_EQ(got[2], static_cast<IBaseFilter*>(c.Get()));
    for (ULONG i = 0; i < fetched; ++i) got[i]->Release();
    EXPECT_EQ(filters->Reset(), S_OK);
    EXPECT_EQ(filters->Skip(2), S_OK);
    EXPECT_EQ(filters->Skip(2), S_FALSE);
}

TEST(FilterGraphTest, RemoveFilterDisconnectsBothSidesAndReleases) {
    const int before = CProbeFilter::Live();
    CProbeLog log;  // outlives the graph, whose teardown still logs
    auto graph = NewGraph();
    auto* up = new CProbeFilter("up", &log, {Output(L"Out", {kTypeA})});
    auto* down = new CProbeFilter("down", &log, {Input(L"In")});
    ASSERT_EQ(graph->AddFilter(up, L"up"), S_OK);
    ASSERT_EQ(graph->AddFilter(down, L"down"), S_OK);
    ComPtr<IPin> out(up->GetPin(0));
    ASSERT_EQ(graph->Connect(up->GetPin(0), down->GetPin(0)), S_OK);
    EXPECT_EQ(CProbeFilter::Live(), before + 2);

    ComPtr<IMediaControl> control = graph.As<IMediaControl>();
    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_EQ(graph->RemoveFilter(down), VFW_E_NOT_STOPPED);
    ASSERT_EQ(control->Stop(), S_OK);

    log.Take();
    EXPECT_EQ(graph->RemoveFilter(down), S_OK);
    EXPECT_EQ(log.Take(),
              (std::vector<std::string>{"up.Out.BreakConnect", "down.In.BreakConnect"}));
    EXPECT_EQ(CProbeFilter::Live(), before + 1) << "the graph's reference was the last one";
    IPin* partner = nullptr;
    EXPECT_EQ(out->ConnectedTo(&partner), VFW_E_NOT_CONNECTED) << "the other side is free too";
    EXPECT_EQ(graph->RemoveFilter(down), VFW_E_NOT_IN_GRAPH);

    out.Reset();
    graph.Reset();
    control.Reset();
    EXPECT_EQ(CProbeFilter::Live(), before);
}

TEST(FilterGraphTest, ReleasingTheGraphFreesConnectedFilters) {
    const int before = CProbeFilter::Live();
    {
        CProbeLog log;
        auto graph = NewGraph();
        auto* up = new CProbeFilter("up", &log, {Output(L"Out", {kTypeA})});
        auto* down = new CProbeFilter("down", &log, {Input(L"In")});
        graph->AddFilter(up, nullptr);
        graph->AddFilter(down, nullptr);
        ASSERT_EQ(graph->Connect(up->GetPin(0), down->GetPin(0)), S_OK);
        ASSERT_EQ(graph.As<IMediaControl>()->Run(), S_OK);
        EXPECT_EQ(CProbeFilter::Live(), before + 2);
    }
    EXPECT_EQ(CProbeFilter::Live(), before)
        << "connected filters hold each other; the graph breaks that";

    // A filter that someone still holds survives the graph, out of it and unconnected.
    ComPtr<CProbeFilter> kept;
    {
        auto graph = NewGraph();
        kept = new CProbeFilter("kept", nullptr, {Input(L"In")});
        auto* up = new CProbeFilter("up", nullptr, {Output(L"Out", {kTypeA})});
        graph->AddFilter(up, nullptr);
        graph->AddFilter(kept.Get(), L"kept");
        ASSERT_EQ(graph->Connect(up->GetPin(0), kept->GetPin(0)), S_OK);
    }
    EXPECT_EQ(CProbeFilter::Live(), before + 1);
    EXPECT_FALSE(kept->GetPin(0)->IsConnected());
    EXPECT_EQ(kept->Graph(), nullptr);
}

TEST(FilterGraphTest, ConnectChecksMembershipAndDirection) {
    CProbeLog log;  // outlives the graph, whose teardown still logs
    auto graph = NewGraph();
    ComPtr<CProbeFilter> up(new CProbeFilter("up", &log, {Output(L"Out", {kTypeA})}));
    ComPtr<CProbeFilter> down(new CProbeFilter("down", &log, {Input(L"In", {}, {probe::kTypeB})}));
    ComPtr<CProbeFilter> outside(new CProbeFilter("outside", &log, {Input(L"In")}));
    graph->AddFilter(up.Get(), L"up");
    graph->AddFilter(down.Get(), L"down");
    EXPECT_EQ(graph->Connect(up->GetPin(0), outside->GetPin(0)), VFW_E_NOT_IN_GRAPH);
    EXPECT_EQ(graph->Connect(down->GetPin(0), up->GetPin(0)), VFW_E_INVALID_DIRECTION);
    EXPECT_EQ(graph->Connect(up->GetPin(0), down->GetPin(0)), VFW_E_NO_ACCEPTABLE_TYPES)
        << "no intermediate filter is inserted";
    EXPECT_EQ(graph->ConnectDirect(up->GetPin(0), down->GetPin(0), &kTypeA),
              VFW_E_TYPE_NOT_ACCEPTED);
    EXPECT_FALSE(up->GetPin(0)->IsConnected());
    EXPECT_EQ(graph->Disconnect(up->GetPin(0)), S_FALSE);
}

// Filters added in an order unlike the stream's: sink, source, tee-like splitter, side sink.
//   src -> split -> sink
//               \-> side
TEST(FilterGraphTest, RunStartsDownstreamFirstAndStopStopsUpstreamFirst) {
    CProbeLog log;  // outlives the graph, whose teardown still logs
    auto graph = NewGraph();
    auto* sink = new CProbeFilter("sink", &log, {Input(L"In")});
    auto* src = new CProbeFilter("src", &log, {Output(L"Out", {kTypeA})});
    auto* split = new CProbeFilter(
        "split", &log, {Input(L"In"), Output(L"O1", {kTypeA}), Output(L"O2", {kTypeA})});
    auto* side = new CProbeFilter("side", &log, {Input(L"In")});
    for (CProbeFilter* f : {sink, src, split, side}) ASSERT_EQ(graph->AddFilter(f, nullptr), S_OK);
    ASSERT_EQ(graph->Connect(src->GetPin(0), split->GetPin(0)), S_OK);
    ASSERT_EQ(graph->Connect(split->GetPin(2), sink->GetPin(0)), S_OK);
    ASSERT_EQ(graph->Connect(split->GetPin(1), side->GetPin(0)), S_OK);
    auto control = graph.As<IMediaControl>();
    OAFilterState state = -1;
    EXPECT_EQ(control->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);

    log.Take();
    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_EQ(control->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Running);
    std::vector<std::string> filterEvents;
    for (const std::string& e : log.Take()) {
        if (std::count(e.begin(), e.end(), '.') == 1) filterEvents.push_back(e);
    }
    // Reverse of the upstream order src, split, sink, side (ties by order of adding).
    EXPECT_EQ(filterEvents,
              (std::vector<std::string>{"side.Pause", "sink.Pause", "split.Pause", "src.Pause",
                                        "side.Run", "sink.Run", "split.Run", "src.Run"}));

    ASSERT_EQ(control->Pause(), S_OK);
    EXPECT_EQ(control->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Paused);
    log.Take();
    ASSERT_EQ(control->Stop(), S_OK);
    EXPECT_EQ(log.Filtered(".Stop"),
              (std::vector<std::string>{"src.Stop", "split.Stop", "sink.Stop", "side.Stop"}));
    EXPECT_EQ(control->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);
}

TEST(FilterGraphTest, StopKeepsGoingAndReportsTheFirstFailure) {
    CProbeLog log;  // outlives the graph, whose teardown still logs
    auto graph = NewGraph();
    ProbePinSetup failing = Input(L"In");
    failing.inactiveResult = E_ABORT;
    auto* src = new CProbeFilter("src", &log, {Output(L"Out", {kTypeA})});
    auto* sink = new CProbeFilter("sink", &log, {failing});
    graph->AddFilter(src, nullptr);
    graph->AddFilter(sink, nullptr);
    ASSERT_EQ(graph->Connect(src->GetPin(0), sink->GetPin(0)), S_OK);
    auto control = graph.As<IMediaControl>();
    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_EQ(control->Stop(), E_ABORT);
    EXPECT_EQ(src->State(), State_Stopped);
    EXPECT_EQ(sink->State(), State_Stopped);
}

AM_MEDIA_TYPE StreamType() {
    AM_MEDIA_TYPE mt;
    mt.majortype = MEDIATYPE_Stream;
    mt.subtype = MEDIASUBTYPE_MPEG2_TRANSPORT;
    return mt;
}

LONG FillIndex(BYTE* buffer, LONG size, std::uint64_t index) {
    std::memset(buffer, static_cast<int>(index & 0xFF), static_cast<std::size_t>(size));
    return size;
}

// Regression guard for the shutdown order: Stop must not return while the streaming thread is
// still inside a Receive.
TEST(FilterGraphTest, StopReturnsOnlyAfterTheStreamingThreadIsDone) {
    auto graph = NewGraph();
    CCritSec sinkLock;
    auto* src = new CTestSourceFilter(StreamType(), 2, 1024, FillIndex);
    auto* sink = new CTestSinkFilter(&sinkLock);
    graph->AddFilter(src, L"src");
    graph->AddFilter(sink, L"sink");
    ASSERT_EQ(graph->Connect(src->OutputPin(), sink->InputPin()), S_OK);

    std::atomic<bool> inReceive{false};
    std::atomic<bool> release{false};
    std::atomic<bool> receiveDone{false};
    std::atomic<bool> stopAsked{false};
    sink->InputPin()->SetReceiveHook([&](IMediaSample*) {
        if (inReceive.exchange(true)) return;  // only the first sample waits
        while (!release.load()) std::this_thread::yield();
        receiveDone = true;
    });
    src->SetStopObserver([&] { stopAsked = true; });

    auto control = graph.As<IMediaControl>();
    ASSERT_EQ(control->Run(), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return inReceive.load(); }));

    std::atomic<bool> stopReturned{false};
    bool receiveDoneWhenStopReturned = false;
    std::thread stopper([&] {
        control->Stop();
        receiveDoneWhenStopReturned = receiveDone.load();
        stopReturned = true;
    });
    ASSERT_TRUE(WaitUntil([&] { return stopAsked.load(); }));
    // The streaming thread sits in Receive until `release`: Stop cannot have finished its join.
    EXPECT_FALSE(stopReturned.load());
    release = true;
    stopper.join();
    EXPECT_TRUE(receiveDoneWhenStopReturned);
    EXPECT_FALSE(src->IsStreaming());
    const std::uint64_t received = sink->InputPin()->Received();
    EXPECT_EQ(received, src->SamplesDelivered());
    EXPECT_EQ(sink->State(), State_Stopped);
}

// The recording sink's start: its own (recursive) lock held while it runs the graph on the same
// thread, while the streaming thread waits for that lock in Receive; later Stop without it.
TEST(FilterGraphTest, RunWithTheSinkLockHeldAndStopWithoutItDoNotDeadlock) {
    auto graph = NewGraph();
    CCritSec recordLock;
    auto* src = new CTestSourceFilter(StreamType(), 4, 4096, FillIndex);
    auto* sink = new CTestSinkFilter(&recordLock);
    sink->InputPin()->SetLockInReceive(true);
    graph->AddFilter(src, nullptr);
    graph->AddFilter(sink, L"Dest Filter");
    ASSERT_EQ(graph->Connect(src->OutputPin(), sink->InputPin()), S_OK);
    auto control = graph.As<IMediaControl>();

    for (int round = 0; round < 3; ++round) {
        const std::uint64_t before = sink->InputPin()->Received();
        {
            CAutoLock lock(recordLock);
            ASSERT_EQ(control->Run(), S_OK);
            EXPECT_EQ(control->Run(), S_OK) << "running again while running";
        }
        ASSERT_TRUE(WaitUntil([&] { return sink->InputPin()->Received() > before + 10; }));
        ASSERT_EQ(control->Stop(), S_OK);
        EXPECT_FALSE(src->IsStreaming());
        EXPECT_EQ(src->DeliverFailure(), S_OK);
    }
}

TEST(FilterGraphTest, TheMediaClassesAreCreatableByClassId) {
    RegisterMediaClasses();
    for (const CLSID& filterClass :
         {CLSID_InfTee, CLSID_MPEG2Demultiplexer, CLSID_TransportInformationFilter}) {
        ComPtr<IBaseFilter> filter;
        ASSERT_EQ(CoCreateInstance(filterClass, nullptr, CLSCTX_INPROC_SERVER,
                                   filter.ReleaseAndGetAddressOf()),
                  S_OK);
        CLSID clsid;
        EXPECT_EQ(filter->GetClassID(&clsid), S_OK);
        EXPECT_EQ(clsid, filterClass);
    }
    ComPtr<IGraphBuilder> graph;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                               graph.ReleaseAndGetAddressOf()),
              S_OK);
    EXPECT_TRUE(graph.As<IMediaControl>());
    EXPECT_TRUE(graph.As<IFilterGraph>());
    EXPECT_FALSE(graph.As<IBaseFilter>());
}

}  // namespace
