#include "platform/media/base_filter.h"

#include <gtest/gtest.h>

#include "platform/media/base_pin.h"
#include "platform/media/filter_graph.h"
#include "platform/media/probe_filter.h"

namespace {

using probe::Input;
using probe::kTypeA;
using probe::Output;

FILTER_STATE StateOf(IBaseFilter* filter) {
    FILTER_STATE state = State_Running;
    EXPECT_EQ(filter->GetState(0, &state), S_OK);
    return state;
}

// "mid" has a connected input, a free input and a connected output.
struct Chain {
    CProbeLog log;
    ComPtr<CProbeFilter> up{new CProbeFilter("up", &log, {Output(L"Out", {kTypeA})})};
    ComPtr<CProbeFilter> mid{
        new CProbeFilter("mid", &log, {Input(L"In"), Input(L"Spare"), Output(L"Out", {kTypeA})})};
    ComPtr<CProbeFilter> down{new CProbeFilter("down", &log, {Input(L"In")})};

    Chain() {
        EXPECT_EQ(up->GetPin(0)->Connect(mid->GetPin(0), nullptr), S_OK);
        EXPECT_EQ(mid->GetPin(2)->Connect(down->GetPin(0), nullptr), S_OK);
        log.Take();
    }
    ~Chain() { probe::Unplug({up.Get(), mid.Get(), down.Get()}); }
};

TEST(BaseFilterTest, RunFromStoppedPassesThroughPausedAndOnlyConnectedPinsHearIt) {
    Chain chain;
    EXPECT_EQ(StateOf(chain.mid.Get()), State_Stopped);
    EXPECT_EQ(chain.mid->Run(1234), S_OK);
    EXPECT_EQ(StateOf(chain.mid.Get()), State_Running);
    EXPECT_EQ(chain.mid->StartTime(), 1234);
    EXPECT_EQ(chain.log.Take(),
              (std::vector<std::string>{"mid.Run", "mid.Pause", "mid.In.Active", "mid.Out.Active",
                                        "mid.In.PinRun", "mid.Out.PinRun"}));
    EXPECT_EQ(chain.mid->Run(0), S_OK);
    EXPECT_EQ(chain.log.Take(), std::vector<std::string>{"mid.Run"}) << "already running";

    EXPECT_EQ(chain.mid->Pause(), S_OK);
    EXPECT_EQ(StateOf(chain.mid.Get()), State_Paused);
    EXPECT_EQ(chain.log.Take(), std::vector<std::string>{"mid.Pause"}) << "pins stay active";

    EXPECT_EQ(chain.mid->Stop(), S_OK);
    EXPECT_EQ(StateOf(chain.mid.Get()), State_Stopped);
    EXPECT_EQ(chain.log.Take(),
              (std::vector<std::string>{"mid.Stop", "mid.In.Inactive", "mid.Out.Inactive"}));
    EXPECT_EQ(chain.mid->Stop(), S_OK);
    EXPECT_EQ(chain.log.Take(), std::vector<std::string>{"mid.Stop"}) << "already stopped";
}

TEST(BaseFilterTest, StopKeepsGoingAfterAFailureAndReportsTheFirst) {
    CProbeLog log;
    ProbePinSetup first = Input(L"A");
    first.inactiveResult = E_ABORT;
    ProbePinSetup second = Input(L"B");
    second.inactiveResult = E_ACCESSDENIED;
    ComPtr<CProbeFilter> sink(new CProbeFilter("sink", &log, {first, second}));
    ComPtr<CProbeFilter> src(
        new CProbeFilter("src", &log, {Output(L"O1", {kTypeA}), Output(L"O2", {kTypeA})}));
    ASSERT_EQ(src->GetPin(0)->Connect(sink->GetPin(0), nullptr), S_OK);
    ASSERT_EQ(src->GetPin(1)->Connect(sink->GetPin(1), nullptr), S_OK);
    ASSERT_EQ(sink->Pause(), S_OK);
    log.Take();
    EXPECT_EQ(sink->Stop(), E_ABORT);
    EXPECT_EQ(log.Take(),
              (std::vector<std::string>{"sink.Stop", "sink.A.Inactive", "sink.B.Inactive"}));
    EXPECT_EQ(StateOf(sink.Get()), State_Stopped);
    probe::Unplug({src.Get(), sink.Get()});
}

TEST(BaseFilterTest, APinThatCannotBecomeActiveKeepsTheFilterStopped) {
    CProbeLog log;
    ProbePinSetup in = Input(L"In");
    in.activeResult = E_OUTOFMEMORY;
    ComPtr<CProbeFilter> sink(new CProbeFilter("sink", &log, {in}));
    ComPtr<CProbeFilter> src(new CProbeFilter("src", &log, {Output(L"Out", {kTypeA})}));
    ASSERT_EQ(src->GetPin(0)->Connect(sink->GetPin(0), nullptr), S_OK);
    EXPECT_EQ(sink->Pause(), E_OUTOFMEMORY);
    EXPECT_EQ(StateOf(sink.Get()), State_Stopped);
    EXPECT_EQ(sink->Run(0), E_OUTOFMEMORY);
    EXPECT_EQ(StateOf(sink.Get()), State_Stopped);
    probe::Unplug({src.Get(), sink.Get()});
}

TEST(BaseFilterTest, EnumPinsWalksWithNextSkipAndReset) {
    Chain chain;
    ComPtr<IEnumPins> pins;
    ASSERT_EQ(chain.mid->EnumPins(pins.ReleaseAndGetAddressOf()), S_OK);
    auto idOf = [](IPin* pin) {
        std::wstring id;
        pin->QueryId(&id);
        return id;
    };
    IPin* got[3] = {};
    ULONG fetched = 99;
    EXPECT_EQ(pins->Next(2, got, &fetched), S_OK);
    EXPECT_EQ(fetched, 2u);
    EXPECT_EQ(idOf(got[0]), L"In");
    EXPECT_EQ(idOf(got[1]), L"Spare");
    got[0]->Release();
    got[1]->Release();
    EXPECT_EQ(pins->Next(2, got, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(idOf(got[0]), L"Out");
    got[0]->Release();
    EXPECT_EQ(pins->Next(1, got, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);

    EXPECT_EQ(pins->Reset(), S_OK);
    EXPECT_EQ(pins->Skip(2), S_OK);
    EXPECT_EQ(pins->Next(1, got, nullptr), S_OK);
    EXPECT_EQ(idOf(got[0]), L"Out");
    got[0]->Release();
    EXPECT_EQ(pins->Reset(), S_OK);
    EXPECT_EQ(pins->Skip(4), S_FALSE) << "past the end";
    EXPECT_EQ(pins->Next(1, got, &fetched), S_FALSE);
    EXPECT_EQ(pins->Next(2, got, nullptr), E_POINTER) << "a count above 1 needs `fetched`";
}

TEST(BaseFilterTest, FindPinByIdAndInterfacesAnswered) {
    Chain chain;
    ComPtr<IPin> pin;
    EXPECT_EQ(chain.mid->FindPin(L"Spare", pin.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(pin.Get(), static_cast<IPin*>(chain.mid->GetPin(1)));
    EXPECT_EQ(chain.mid->FindPin(L"spare", pin.ReleaseAndGetAddressOf()), VFW_E_NOT_FOUND);
    EXPECT_FALSE(pin);

    ComPtr<IBaseFilter> filter(chain.mid.Get());
    EXPECT_TRUE(filter.As<IMediaFilter>());
    EXPECT_TRUE(filter.As<IPersist>());
    EXPECT_TRUE(filter.As<IUnknown>());
    ComPtr<IMediaControl> control;
    EXPECT_EQ(filter.As(&control), E_NOINTERFACE);
    ComPtr<IPin> notAPin;
    EXPECT_EQ(filter.As(&notAPin), E_NOINTERFACE);
    void* out = nullptr;
    EXPECT_EQ(filter->QueryInterface(IID_IBaseFilter, nullptr), E_POINTER);
    EXPECT_EQ(filter->QueryInterface(IID_IBaseFilter, &out), S_OK);
    static_cast<IBaseFilter*>(out)->Release();

    CLSID clsid;
    EXPECT_EQ(chain.mid->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, com::MakeGuid("{7E570000-0000-4000-8000-00000000B001}"));
}

TEST(BaseFilterTest, JoinFilterGraphKeepsNameAndAnUncountedGraph) {
    ComPtr<IFilterGraph> graph(new CFilterGraph);
    CProbeLog log;
    ComPtr<CProbeFilter> filter(new CProbeFilter("f", &log, {Input(L"In")}));
    const ULONG graphRefs = graph->AddRef() - 1;
    graph->Release();
    EXPECT_EQ(filter->JoinFilterGraph(graph.Get(), L"Named"), S_OK);
    EXPECT_EQ(graph->AddRef() - 1, graphRefs) << "JoinFilterGraph takes no reference";
    graph->Release();
    EXPECT_EQ(filter->Graph(), graph.Get());
    {
        FILTER_INFO info;
        ASSERT_EQ(filter->QueryFilterInfo(&info), S_OK);
        EXPECT_EQ(info.achName, L"Named");
        EXPECT_EQ(info.pGraph.Get(), graph.Get());
        EXPECT_EQ(graph->AddRef() - 1, graphRefs + 1) << "FILTER_INFO holds one reference";
        graph->Release();
    }
    EXPECT_EQ(filter->JoinFilterGraph(nullptr, nullptr), S_OK);
    FILTER_INFO info;
    ASSERT_EQ(filter->QueryFilterInfo(&info), S_OK);
    EXPECT_EQ(info.achName, L"");
    EXPECT_EQ(info.pGraph, nullptr);
}

}  // namespace
