#include "graph/bda_graph.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "graph/graph_test_environment.h"
#include "graph/tuner_session.h"
#include "platform/bda/tuning_interfaces.h"
#include "platform/com/class_registry.h"
#include "platform/com/co_create.h"
#include "platform/media/media_classes.h"
#include "sink/dest_filter.h"
#include "sink/dump_input_pin.h"
#include "sink/stream_tap_filter.h"
#include "support/debug_output_capture.h"
#include "support/driver_report_print.h"

namespace {

// A box captioned "error", owned by the page that built the graph.
DriverReport PageError(const char* text) {
    return {DriverReport::Form::PageError, text};
}

// The filter at the other end of pin `pin`, or null.
ComPtr<IBaseFilter> PartnerFilter(IPin* pin) {
    ComPtr<IPin> partner;
    if (FAILED(pin->ConnectedTo(partner.ReleaseAndGetAddressOf()))) return nullptr;
    PIN_INFO info;
    partner->QueryPinInfo(&info);
    return info.pFilter;
}

std::vector<ComPtr<IPin>> Pins(IBaseFilter* filter, PIN_DIRECTION direction) {
    std::vector<ComPtr<IPin>> pins;
    ComPtr<IEnumPins> e;
    filter->EnumPins(e.ReleaseAndGetAddressOf());
    ComPtr<IPin> pin;
    ULONG fetched = 0;
    while (e->Next(1, pin.ReleaseAndGetAddressOf(), &fetched) == S_OK) {
        PIN_DIRECTION d;
        pin->QueryDirection(&d);
        if (d == direction) pins.push_back(pin);
    }
    return pins;
}

int FilterCount(IGraphBuilder* graph) {
    ComPtr<IEnumFilters> e;
    graph->EnumFilters(e.ReleaseAndGetAddressOf());
    int n = 0;
    ComPtr<IBaseFilter> f;
    ULONG fetched = 0;
    while (e->Next(1, f.ReleaseAndGetAddressOf(), &fetched) == S_OK) ++n;
    return n;
}

class BdaGraphTest : public ::testing::Test {
protected:
    // The device chosen from the list, then its graph built; what the build reported is kept.
    std::int32_t Build(std::int32_t index, const std::string& name) {
        m_env.Session().SelectDevice(index, name);
        m_reports.clear();
        return m_env.Graph().BuildTunerGraph(m_env.Session().DeviceIndex(),
                                             m_env.Session().DeviceName(), m_reports);
    }
    CGraphTestEnvironment m_env;
    CBDAGraph& m_graph = m_env.Graph();
    DriverReports m_reports;
};

TEST_F(BdaGraphTest, AFullBuildJoinsEveryFilterInItsPlace) {
    m_env.PublishCard(L"VLK Arden DVBS/S2 Tuner (test)", 0);
    ASSERT_EQ(Build(0, "VLK Arden DVBS/S2 Tuner (test)"), kBuildOk);
    EXPECT_EQ(m_reports, DriverReports{});
    EXPECT_EQ(m_graph.m_nTunerModel, 1);
    ASSERT_TRUE(m_graph.m_pTunerDevice);
    ASSERT_TRUE(m_graph.m_pReceiverDevice);
    ASSERT_NE(m_graph.m_pSinkFilter, nullptr);
    ASSERT_TRUE(m_graph.m_pGraphControl);

    // Tee: exactly three connected outputs, the first to the demultiplexer, the second to the
    // sink, the third to the stream tap.
    std::vector<ComPtr<IBaseFilter>> teeTargets;
    for (const auto& pin : Pins(m_graph.m_pTeeFilter.Get(), PINDIR_OUTPUT)) {
        if (auto target = PartnerFilter(pin.Get())) teeTargets.push_back(target);
    }
    ASSERT_EQ(teeTargets.size(), 3u);
    EXPECT_EQ(teeTargets[0].Get(), m_graph.m_pDemuxFilter.Get());
    EXPECT_EQ(teeTargets[1].Get(), static_cast<IBaseFilter*>(m_graph.m_pSinkFilter));
    EXPECT_EQ(teeTargets[2].Get(), static_cast<IBaseFilter*>(m_graph.m_pTapFilter.Get()));

    EXPECT_EQ(PartnerFilter(Pins(m_graph.m_pTunerDevice.Get(), PINDIR_INPUT)[0].Get()).Get(),
              m_graph.m_pProvider.Get());
    EXPECT_EQ(PartnerFilter(Pins(m_graph.m_pReceiverDevice.Get(), PINDIR_OUTPUT)[0].Get()).Get(),
              m_graph.m_pTeeFilter.Get());
    EXPECT_EQ(PartnerFilter(Pins(m_graph.m_pDemuxFilter.Get(), PINDIR_OUTPUT)[0].Get()).Get(),
              m_graph.m_pInfoFilter.Get());

    for (const auto& [filter, name] : std::vector<std::pair<IBaseFilter*, std::wstring>>{
             {m_graph.m_pProvider.Get(), L"Network DVBS Provider"},
             {m_graph.m_pDemuxFilter.Get(), L"MPEG2 Demultiplexer"},
             {m_graph.m_pTeeFilter.Get(), L"Infinite pin tee splitter"},
             {m_graph.m_pInfoFilter.Get(), L"transport information filter"},
             {m_graph.m_pSinkFilter, L"Dest Filter"}}) {
        FILTER_INFO info;
        filter->QueryFilterInfo(&info);
        EXPECT_EQ(info.achName, name);
    }
    EXPECT_NE(m_env.Shell().LogText().find(
                  "] BDA Device Name: [VLK Arden DVBS/S2 Tuner (test)]      (Tuner Type:1)\r\n"),
              std::string::npos);

    CLSID sinkClass;
    m_graph.m_pSinkFilter->GetClassID(&sinkClass);
    EXPECT_EQ(com::FormatGuid(sinkClass), "{90D647A7-DFBB-48F9-861F-33F3660C03FD}");
}

TEST_F(BdaGraphTest, NoDeviceChosenCreatesNothing) {
    m_env.PublishCard(L"VLK Arden DVBS/S2 Tuner", 0);
    EXPECT_EQ(Build(-1, "No Device"), kBuildOk);
    EXPECT_FALSE(m_graph.m_pGraph);
    EXPECT_FALSE(m_graph.m_pProvider);
    EXPECT_FALSE(m_graph.m_pSpace);
    EXPECT_EQ(m_graph.m_nTunerModel, 0);
    EXPECT_EQ(m_reports, DriverReports{});
}

TEST_F(BdaGraphTest, ANetworkProviderThatCannotBeCreatedEndsTheBuildWithItsMessage) {
    m_env.PublishCard(L"VLK Arden DVBS/S2 Tuner", 0);
    CScopedClassOverride missing(CLSID_DVBSNetworkProvider, nullptr);
    EXPECT_EQ(Build(0, "VLK Arden DVBS/S2 Tuner"), kBuildOk);
    EXPECT_EQ(m_reports, DriverReports{PageError("CreateDVBSNetworkProvider Failed")});
    EXPECT_TRUE(m_graph.m_pGraph) << "graph manager and media control stay";
    EXPECT_TRUE(m_graph.m_pGraphControl);
    EXPECT_FALSE(m_graph.m_pTunerDevice);
    EXPECT_EQ(m_graph.m_nTunerModel, 0) << "never classified: the page then ends the program";
}

TEST_F(BdaGraphTest, AnIndexPastTheLastTunerGivesSixAndEmptyMembers) {
    m_env.PublishCard(L"VLK Arden DVBS/S2 Tuner", 0);
    EXPECT_EQ(Build(3, "VLK Arden DVBS/S2 Tuner"), kBuildProviderNotJoined);
    EXPECT_EQ(m_reports, DriverReports{PageError("CreateTunerDevice Failed")});
    EXPECT_NE(m_env.Shell().LogText().find(
                  "] FAILED: cannot connect network provider to tuner filter\r\n"),
              std::string::npos);
    EXPECT_FALSE(m_graph.m_pGraph);
    EXPECT_FALSE(m_graph.m_pGraphControl);
    EXPECT_FALSE(m_graph.m_pProvider);
    EXPECT_FALSE(m_graph.m_pTunerDevice);
    EXPECT_TRUE(m_graph.m_pSpace) << "the tuning space is kept";
    EXPECT_EQ(m_graph.m_nTunerModel, 1) << "the model code is kept";
}

TEST_F(BdaGraphTest, NoReceiverThatConnectsGivesSeven) {
    m_env.PublishTuner(L"VLK Glen USB DVB-S2 Tuner", 0);
    m_env.PublishReceiver(5);
    m_env.PublishTransportInformation();
    EXPECT_EQ(Build(0, "VLK Glen USB DVB-S2 Tuner"), kBuildNoCapture);
    EXPECT_NE(m_env.Shell().LogText().find("] WARNING: cannot create capture filter\r\n"),
              std::string::npos);
    EXPECT_FALSE(m_graph.m_pReceiverDevice);
    EXPECT_FALSE(m_graph.m_pGraph);
    EXPECT_FALSE(m_graph.m_pTunerDevice);
    EXPECT_EQ(m_graph.m_nTunerModel, 15);
}

TEST_F(BdaGraphTest, OfTwoReceiversTheOneThatConnectsIsTakenAndTheOtherStaysUnconnected) {
    m_env.PublishTuner(L"VLK Arden DVBS/S2 Tuner", 0);
    m_env.PublishReceiver(7);
    m_env.PublishReceiver(0);
    m_env.PublishTransportInformation();
    ASSERT_EQ(Build(0, "VLK Arden DVBS/S2 Tuner"), kBuildOk);
    ASSERT_EQ(m_env.Receivers().size(), 2u);
    EXPECT_EQ(m_graph.m_pReceiverDevice.Get(),
              static_cast<IBaseFilter*>(m_env.Receivers()[1].Get()));
    FILTER_INFO info;
    m_env.Receivers()[0]->QueryFilterInfo(&info);
    EXPECT_TRUE(info.pGraph) << "the first candidate stays in the graph";
    for (const auto& pin : Pins(m_env.Receivers()[0].Get(), PINDIR_INPUT))
        EXPECT_FALSE(PartnerFilter(pin.Get()));
}

TEST_F(BdaGraphTest, MissingDemultiplexerTeeOrInformationFilterLeaveEarlierMembersInPlace) {
    m_env.PublishCard(L"VLK Arden DVBS/S2 Tuner", 0);
    {
        CScopedClassOverride missing(CLSID_MPEG2Demultiplexer, nullptr);
        EXPECT_EQ(Build(0, "VLK Arden DVBS/S2 Tuner"), kBuildNoDemultiplexer);
    }
    EXPECT_EQ(m_reports, DriverReports{PageError("CreateMPEG2Demultiplexer Failed")});
    EXPECT_TRUE(m_graph.m_pReceiverDevice);
    EXPECT_TRUE(m_graph.m_pTunerDevice);
    EXPECT_TRUE(m_graph.m_pProvider);
    m_graph.ReleaseTunerGraph();

    {
        CScopedClassOverride missing(CLSID_InfTee, nullptr);
        EXPECT_EQ(Build(0, "VLK Arden DVBS/S2 Tuner"), kBuildNoTee);
    }
    EXPECT_EQ(m_reports, DriverReports{PageError("CreateInfinitePinTee Failed")});
    EXPECT_TRUE(m_graph.m_pDemuxFilter);
    m_graph.ReleaseTunerGraph();
}

TEST_F(BdaGraphTest, NoTransportInformationDeviceGivesTenWithoutASink) {
    m_env.PublishTuner(L"VLK Arden DVBS/S2 Tuner", 0);
    m_env.PublishReceiver(0);
    EXPECT_EQ(Build(0, "VLK Arden DVBS/S2 Tuner"), kBuildNoTransportInformation);
    EXPECT_EQ(m_reports,
              DriverReports{PageError("FindFilter transport information filter Failed")});
    EXPECT_EQ(m_graph.m_pSinkFilter, nullptr);
    ASSERT_TRUE(m_graph.m_pTeeFilter);
    ASSERT_TRUE(m_graph.m_pDemuxFilter);
    for (const auto& pin : Pins(m_graph.m_pTeeFilter.Get(), PINDIR_INPUT))
        EXPECT_FALSE(PartnerFilter(pin.Get()));
    // Network provider, tuner, receiver, demultiplexer and tee.
    EXPECT_EQ(FilterCount(m_graph.m_pGraph.Get()), 5);
}

TEST_F(BdaGraphTest, TheTuningSpaceOfTheFirstRunIsFoundByTheNextOne) {
    m_env.PublishCard(L"VLK Arden DVBS/S2 Tuner", 0);
    ASSERT_EQ(Build(0, "VLK Arden DVBS/S2 Tuner"), kBuildOk);
    ComPtr<IDVBSTuningSpace> first;
    ASSERT_EQ(m_graph.m_pSpace.As(&first), S_OK);
    first->put_LNBSwitch(11700000);
    m_graph.ReleaseTunerGraph();

    ASSERT_EQ(Build(0, "VLK Arden DVBS/S2 Tuner"), kBuildOk);
    ComPtr<IDVBSTuningSpace> second;
    ASSERT_EQ(m_graph.m_pSpace.As(&second), S_OK);
    LONG lnbSwitch = 0;
    second->get_LNBSwitch(&lnbSwitch);
    EXPECT_EQ(lnbSwitch, 11700000);
    std::wstring friendly;
    second->get_FriendlyName(&friendly);
    EXPECT_EQ(friendly, L"Local DVBS Tuner");

    ComPtr<ITuningSpaceContainer> container;
    CoCreateInstance(CLSID_SystemTuningSpaces, nullptr, CLSCTX_ALL,
                     container.ReleaseAndGetAddressOf());
    LONG count = 0;
    container->get_Count(&count);
    EXPECT_EQ(count, 1) << "no second tuning space is registered";
}

TEST_F(BdaGraphTest, ReleaseEmptiesEverythingAndEndsTheComponentLibraryUse) {
    m_env.PublishCard(L"VLK Arden DVBS/S2 Tuner", 0);
    CoInitializeEx(nullptr, COINIT_SPEED_OVER_MEMORY);
    const int depth = com::InitializationDepthOfThisThread();
    ASSERT_EQ(Build(0, "VLK Arden DVBS/S2 Tuner"), kBuildOk);
    m_graph.m_pGraphControl->Run();
    m_graph.ReleaseTunerGraph();
    EXPECT_EQ(com::InitializationDepthOfThisThread(), depth - 1);
    EXPECT_FALSE(m_graph.m_pGraph);
    EXPECT_FALSE(m_graph.m_pTunerDevice);
    EXPECT_FALSE(m_graph.m_pReceiverDevice);
    EXPECT_EQ(m_graph.m_pSinkFilter, nullptr);
    EXPECT_FALSE(m_graph.m_pKsCtrl);
}

TEST_F(BdaGraphTest, ConnectPinsNamesWhatIsMissing) {
    CBDAGraph& graph = m_graph;
    ComPtr<CFakeFilter> source(new CFakeFilter({{L"Out", PINDIR_OUTPUT, AntennaType()}}));
    ComPtr<CFakeFilter> inputOnly(new CFakeFilter({{L"In", PINDIR_INPUT, CardTransportType(1)}}));
    ComPtr<IGraphBuilder> builder;
    RegisterMediaClasses();
    CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_ALL, builder.ReleaseAndGetAddressOf());
    builder->AddFilter(source.Get(), L"a");
    builder->AddFilter(inputOnly.Get(), L"b");

    DriverReports reports;
    graph.ConnectPins(nullptr, source.Get(), inputOnly.Get(), reports);
    graph.ConnectPins(builder.Get(), nullptr, inputOnly.Get(), reports);
    graph.ConnectPins(builder.Get(), source.Get(), nullptr, reports);
    graph.ConnectPins(builder.Get(), inputOnly.Get(), source.Get(), reports);
    graph.ConnectPins(builder.Get(), source.Get(), source.Get(), reports);
    graph.ConnectPins(builder.Get(), source.Get(), inputOnly.Get(), reports);
    using Form = DriverReport::Form;
    EXPECT_EQ(reports,
              (DriverReports{
                  {Form::Error, "ConnectPins builder == NULL"},
                  {Form::Error, "ConnectPins out_from == NULL"},
                  {Form::Error, "ConnectPins in_to == NULL"},
                  {Form::Notice, "CBDAGraph::ConnectPins() - No output pin found on filter\r\n"},
                  {Form::Notice, "CBDAGraph::ConnectPins() - No input pin found on filter\r\n"},
                  {Form::Notice,
                   "CBDAGraph::ConnectPins() - Could not connect pins together. Error was: "}}));
    builder->RemoveFilter(source.Get());
    builder->RemoveFilter(inputOnly.Get());
}

struct ModelCase {
    const char* name;
    std::int32_t code;
    std::int32_t xModel;
};

// Case names from the friendly name, each run of other characters made one '_'
// ("PCI VLK Dune DVBS/S2 Tuner 2 #1" -> "PCI_VLK_Dune_DVBS_S2_Tuner_2_1").
std::string ModelCaseName(const ::testing::TestParamInfo<ModelCase>& item) {
    std::string name;
    bool gap = false;
    for (const char c : std::string(item.param.name)) {
        if (std::isalnum(static_cast<unsigned char>(c)) == 0) {
            gap = true;
            continue;
        }
        if (gap && !name.empty()) name += '_';
        gap = false;
        name += c;
    }
    return name.empty() ? "Empty" : name;
}

class TunerModelTest : public ::testing::TestWithParam<ModelCase> {};

TEST_P(TunerModelTest, ClassifiesTheFriendlyName) {
    CTunerSession session;
    CBDAGraph& graph = session.m_BDAGraph;
    graph.m_bXModel = 1;
    EXPECT_EQ(graph.ClassifyTunerModel(GetParam().name), GetParam().code);
    EXPECT_EQ(graph.m_bXModel, GetParam().xModel);
}

INSTANTIATE_TEST_SUITE_P(Table, TunerModelTest,
                         ::testing::Values(ModelCase{"VLK Arden DVBS/S2 Tuner", 1, 0},
                                           ModelCase{"VLK Birch DVBS/S2 Tuner B", 3, 0},
                                           ModelCase{"VLK Cedar DVBS2 Tuner", 4, 0},
                                           ModelCase{"VLK Fjord DVBS/S2 Tuner 1", 14, 0},
                                           ModelCase{"VLK Glen USB DVB-S2 Tuner", 15, 0},
                                           ModelCase{"VLK Heath DVBS/S2 Tuner 0", 16, 1},
                                           ModelCase{"VLK Heath DVBS/S2 Tuner 1", 17, 1},
                                           ModelCase{"VLK Isle DVBS/S2 Tuner 7", 16, 1},
                                           ModelCase{"VLK Elm DVBS/S2 Tuner 3 (2)", 12, 0},
                                           ModelCase{"PCI VLK Dune DVBS/S2 Tuner 2 #1", 7, 0},
                                           ModelCase{"vlk arden dvbs/s2 tuner", 0, 0},
                                           ModelCase{"", 0, 0},
                                           ModelCase{"VLK Arden DVBS/S2", 0, 0}),
                         ModelCaseName);

}  // namespace
