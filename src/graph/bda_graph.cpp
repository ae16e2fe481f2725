#include "graph/bda_graph.h"

#include <mutex>

#include "core/device_enum.h"
#include "core/diagnostic_log.h"
#include "graph/tuner_model.h"
#include "platform/bda/stream_loss_statistics.h"
#include "platform/com/co_create.h"
#include "platform/devices/device_enum_interfaces.h"
#include "platform/win/debug_output.h"
#include "platform/win/text_encoding.h"
#include "sink/dest_filter.h"
#include "sink/dump_input_pin.h"
#include "sink/record_file.h"
#include "sink/stream_tap_filter.h"

namespace {

constexpr const wchar_t* kTuningSpaceName = L"Halvorin dvb-s";

// The first pin of `filter` that is free and faces `direction`.
ComPtr<IPin> FirstFreePin(IBaseFilter* filter, PIN_DIRECTION direction) {
    ComPtr<IEnumPins> pins;
    if (FAILED(filter->EnumPins(pins.ReleaseAndGetAddressOf()))) return nullptr;
    pins->Reset();
    ComPtr<IPin> pin;
    ULONG fetched = 0;
    while (pins->Next(1, pin.ReleaseAndGetAddressOf(), &fetched) == S_OK) {
        ComPtr<IPin> partner;
        PIN_DIRECTION pinDirection;
        if (FAILED(pin->ConnectedTo(partner.ReleaseAndGetAddressOf())) &&
            SUCCEEDED(pin->QueryDirection(&pinDirection)) && pinDirection == direction) {
            return pin;
        }
    }
    return nullptr;
}

}  // namespace

CBDAGraph::CBDAGraph(std::recursive_mutex& driverMutex, RecordState& record)
    : m_driverMutex(driverMutex), m_record(record) {}

CBDAGraph::~CBDAGraph() {
    // The Tuner Setting page releases the graph; this only covers what a test or an abnormal
    // end left behind, so that nothing leaks and nothing is freed twice.
    if (m_pGraph && m_pSinkFilter) m_pGraph->RemoveFilter(m_pSinkFilter);
    DestroySinkFilter();
    ReleaseTapFilter();
}

std::int32_t CBDAGraph::BuildTunerGraph(std::int32_t deviceIndex, const std::string& deviceName,
                                        DriverReports& reports) {
    if (deviceIndex == -1) return kBuildOk;
    const auto fail = [&reports](const char* text) {
        reports.push_back({DriverReport::Form::PageError, text});
    };

    CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                     m_pGraph.ReleaseAndGetAddressOf());
    if (m_pGraph) m_pGraph.As(&m_pGraphControl);

    m_pProvider = CreateDVBSNetworkProvider();
    if (!m_pProvider) {
        fail("CreateDVBSNetworkProvider Failed");
        return kBuildOk;
    }
    if (m_pGraph) m_pGraph->AddFilter(m_pProvider.Get(), L"Network DVBS Provider");

    if (FAILED(CreateTunerDevice(m_pGraph.Get(), deviceIndex, m_pTunerDevice))) {
        fail("CreateTunerDevice Failed");
    }
    m_nTunerModel = ClassifyTunerModel(deviceName);

    if (FAILED(JoinFilters(m_pGraph.Get(), m_pProvider.Get(), m_pTunerDevice.Get()))) {
        WriteLog("FAILED: cannot connect network provider to tuner filter");
        UndoFailedBuild();
        return kBuildProviderNotJoined;
    }
    if (FAILED(CreateReceiverDevice(m_pGraph.Get(), m_pTunerDevice.Get(), m_pReceiverDevice))) {
        WriteLog("WARNING: cannot create capture filter");
        m_pReceiverDevice.Reset();
        UndoFailedBuild();
        return kBuildNoCapture;
    }

    m_pDemuxFilter = CreateMPEG2Demultiplexer();
    if (!m_pDemuxFilter) {
        fail("CreateMPEG2Demultiplexer Failed");
        return kBuildNoDemultiplexer;
    }
    m_pGraph->AddFilter(m_pDemuxFilter.Get(), L"MPEG2 Demultiplexer");

    m_pTeeFilter = CreateInfinitePinTee();
    if (!m_pTeeFilter) {
        fail("CreateInfinitePinTee Failed");
        return kBuildNoTee;
    }
    m_pGraph->AddFilter(m_pTeeFilter.Get(), L"Infinite pin tee splitter");

    m_pInfoFilter = FindFilter(KSCATEGORY_BDA_TRANSPORT_INFORMATION);
    if (!m_pInfoFilter) {
        fail("FindFilter transport information filter Failed");
        return kBuildNoTransportInformation;
    }
    m_pGraph->AddFilter(m_pInfoFilter.Get(), L"transport information filter");

    HRESULT sinkResult = S_OK;
    m_pSinkFilter = new CDestFilter(nullptr, &m_record, &sinkResult);
    static_cast<IBaseFilter*>(m_pSinkFilter)->AddRef();
    m_pGraph->AddFilter(m_pSinkFilter, L"Dest Filter");
    m_pTapFilter = MakeComObject<CStreamTapFilter>();
    m_pGraph->AddFilter(m_pTapFilter.Get(), L"Stream Tap");

    ConnectPins(m_pGraph.Get(), m_pReceiverDevice.Get(), m_pTeeFilter.Get(), reports);
    ConnectPins(m_pGraph.Get(), m_pTeeFilter.Get(), m_pDemuxFilter.Get(), reports);
    ConnectPins(m_pGraph.Get(), m_pTeeFilter.Get(), m_pSinkFilter, reports);
    ConnectPins(m_pGraph.Get(), m_pDemuxFilter.Get(), m_pInfoFilter.Get(), reports);
    // Last, so the filters and connections of the recording path are as they always were.
    ConnectPins(m_pGraph.Get(), m_pTeeFilter.Get(), m_pTapFilter.Get(), reports);
    return kBuildOk;
}

std::int32_t CBDAGraph::ClassifyTunerModel(const std::string& friendlyName) {
    m_bXModel = 0;
    std::int32_t model = 0;
    for (const TunerModelRow& row : kTunerModelTable) {
        if (friendlyName.find(row.pattern) == std::string::npos) continue;
        model = row.code;
        if (row.xModel) m_bXModel = 1;
    }
    return model;
}

ComPtr<IBaseFilter> CBDAGraph::CreateDVBSNetworkProvider() {
    m_pSpace = ObtainTuningSpace();
    if (!m_pSpace) return nullptr;

    std::wstring networkType;
    m_pSpace->get_NetworkType(&networkType);
    CLSID providerClass = GUID_NULL;
    CLSIDFromString(networkType, &providerClass);
    ComPtr<IBaseFilter> provider;
    if (FAILED(CoCreateInstance(providerClass, nullptr, CLSCTX_INPROC_SERVER,
                                provider.ReleaseAndGetAddressOf()))) {
        return nullptr;
    }

    ComPtr<ITuneRequest> request;
    m_pSpace->CreateTuneRequest(request.ReleaseAndGetAddressOf());
    ComPtr<ITuner> tuner;
    if (FAILED(provider.As(&tuner))) return nullptr;
    tuner->put_TuningSpace(m_pSpace.Get());
    tuner->put_TuneRequest(request.Get());
    return provider;
}

ComPtr<ITuningSpace> CBDAGraph::ObtainTuningSpace() {
    ComPtr<ITuningSpaceContainer> container;
    if (FAILED(CoCreateInstance(CLSID_SystemTuningSpaces, nullptr, CLSCTX_ALL,
                                container.ReleaseAndGetAddressOf()))) {
        return nullptr;
    }
    ComPtr<ITuningSpace> found;
    ComPtr<IEnumTuningSpaces> spaces;
    if (SUCCEEDED(container->get_EnumTuningSpaces(spaces.ReleaseAndGetAddressOf())) && spaces) {
        spaces->Reset();
        ComPtr<ITuningSpace> space;
        ULONG fetched = 0;
        while (spaces->Next(1, space.ReleaseAndGetAddressOf(), &fetched) == S_OK) {
            std::wstring uniqueName;
            space->get_UniqueName(&uniqueName);
            if (!found && uniqueName == kTuningSpaceName) found = space;
        }
    }
    if (!found) {
        found = MakeTuningSpace();
        if (found) container->Add(found.Get());
    }
    return found;
}

ComPtr<ITuningSpace> CBDAGraph::MakeTuningSpace() {
    ComPtr<IDVBSLocator> locator;
    CoCreateInstance(CLSID_DVBSLocator, nullptr, CLSCTX_INPROC_SERVER,
                     locator.ReleaseAndGetAddressOf());
    ComPtr<IDVBTuningSpace2> space;
    if (FAILED(CoCreateInstance(CLSID_DVBSTuningSpace, nullptr, CLSCTX_INPROC_SERVER,
                                space.ReleaseAndGetAddressOf()))) {
        return nullptr;
    }
    space->put__NetworkType(CLSID_DVBSNetworkProvider);
    space->put_SystemType(DVB_Satellite);
    space->put_DefaultLocator(locator.Get());
    space->put_FrequencyMapping(L"");
    space->put_FriendlyName(L"Local DVBS Tuner");
    space->put_UniqueName(kTuningSpaceName);

    ComPtr<IDVBSTuningSpace> satellite;
    if (SUCCEEDED(space.As(&satellite))) {
        satellite->put_HighOscillator(-1);
        satellite->put_InputRange(L"-1");
        satellite->put_LNBSwitch(-1);
        satellite->put_LowOscillator(-1);
        satellite->put_SpectralInversion(BDA_SPECTRAL_INVERSION_NOT_SET);
    }
    return space.As<ITuningSpace>();
}

HRESULT CBDAGraph::CreateTunerDevice(IGraphBuilder* graph, std::int32_t index,
                                     ComPtr<IBaseFilter>& tuner) {
    tuner.Reset();
    DeviceEnumPtr devices = enum_create(KSCATEGORY_BDA_NETWORK_TUNER);
    if (!devices) return E_FAIL;
    for (std::int32_t position = 0; enum_next(devices.get()) == S_OK; ++position) {
        if (position != index) continue;
        if (enum_get_filter(devices.get(), tuner.ReleaseAndGetAddressOf()) != S_OK) break;
        enum_get_name(devices.get());
        WriteLog("BDA Device Name: [{}]      (Tuner Type:{})",
                 platform::WideToUtf8(devices->wszName), 1);
        devices.reset();
        return graph != nullptr ? graph->AddFilter(tuner.Get(), nullptr) : E_POINTER;
    }
    return E_FAIL;
}

HRESULT CBDAGraph::CreateReceiverDevice(IGraphBuilder* graph, IBaseFilter* tuner,
                                        ComPtr<IBaseFilter>& capture) {
    capture.Reset();
    DeviceEnumPtr devices = enum_create(KSCATEGORY_BDA_RECEIVER_COMPONENT);
    if (!devices) return E_FAIL;
    while (enum_next(devices.get()) == S_OK) {
        ComPtr<IBaseFilter> candidate;
        if (enum_get_filter(devices.get(), candidate.ReleaseAndGetAddressOf()) != S_OK) continue;
        AddUnnamedFilter(graph, candidate.Get());
        if (SUCCEEDED(JoinFilters(graph, tuner, candidate.Get()))) {
            capture = candidate;
            return S_OK;
        }
        // A candidate that does not connect stays in the graph, unconnected.
    }
    return E_FAIL;
}

ComPtr<IBaseFilter> CBDAGraph::CreateMPEG2Demultiplexer() {
    ComPtr<IBaseFilter> demux;
    CoCreateInstance(CLSID_MPEG2Demultiplexer, nullptr, CLSCTX_INPROC_SERVER,
                     demux.ReleaseAndGetAddressOf());
    return demux;
}

ComPtr<IBaseFilter> CBDAGraph::CreateInfinitePinTee() {
    ComPtr<IBaseFilter> tee;
    CoCreateInstance(CLSID_InfTee, nullptr, CLSCTX_INPROC_SERVER, tee.ReleaseAndGetAddressOf());
    return tee;
}

ComPtr<IBaseFilter> CBDAGraph::FindFilter(REFGUID category) {
    ComPtr<ICreateDevEnum> devEnum;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_ALL,
                                devEnum.ReleaseAndGetAddressOf()))) {
        return nullptr;
    }
    ComPtr<IEnumMoniker> monikers;
    if (devEnum->CreateClassEnumerator(category, monikers.ReleaseAndGetAddressOf(), 0) != S_OK)
        return nullptr;
    ComPtr<IMoniker> moniker;
    ULONG fetched = 0;
    while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), &fetched) == S_OK) {
        ComPtr<IPropertyBag> bag;
        if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                          bag.ReleaseAndGetVoidAddress()))) {
            OutputDebugStringA("FindFilter(): Cannot BindToStorage");
            return nullptr;
        }
        VARIANT name;
        VariantInit(&name);
        if (FAILED(bag->Read(L"FriendlyName", &name, nullptr))) {
            OutputDebugStringA("FindFilter(): IPropertyBag->Read method failed");
            continue;
        }
        ComPtr<IBaseFilter> filter;
        if (SUCCEEDED(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                            filter.ReleaseAndGetVoidAddress()))) {
            return filter;
        }
    }
    return nullptr;
}

HRESULT CBDAGraph::AddUnnamedFilter(IGraphBuilder* graph, IBaseFilter* filter) {
    const HRESULT hr = graph != nullptr ? graph->AddFilter(filter, nullptr) : E_POINTER;
    if (FAILED(hr)) WriteLog("FAILED: Cannot add the filter to the graph");
    return hr;
}

HRESULT CBDAGraph::JoinFilters(IGraphBuilder* graph, IBaseFilter* upstream,
                               IBaseFilter* downstream) {
    if (graph == nullptr || upstream == nullptr || downstream == nullptr) return E_POINTER;
    ComPtr<IEnumPins> upPins;
    HRESULT hr = upstream->EnumPins(upPins.ReleaseAndGetAddressOf());
    if (FAILED(hr)) {
        WriteLog("FAIL: Cannot Enumerate Upstream Filter's Pins\n");
        return hr;
    }
    ComPtr<IPin> upPin;
    ULONG fetched = 0;
    while (upPins->Next(1, upPin.ReleaseAndGetAddressOf(), &fetched) == S_OK) {
        PIN_INFO upInfo;
        hr = upPin->QueryPinInfo(&upInfo);
        if (FAILED(hr)) {
            WriteLog("FAIL: Cannot Obtain Upstream Filter's PIN_INFO\n");
            return hr;
        }
        ComPtr<IPin> upPartner;
        const bool upConnected = SUCCEEDED(upPin->ConnectedTo(upPartner.ReleaseAndGetAddressOf()));
        if (upInfo.dir != PINDIR_OUTPUT || upConnected) continue;

        ComPtr<IEnumPins> downPins;
        hr = downstream->EnumPins(downPins.ReleaseAndGetAddressOf());
        if (FAILED(hr)) {
            WriteLog("FAIL: Cannot enumerate pins on downstream filter!\n");
            return hr;
        }
        ComPtr<IPin> downPin;
        while (downPins->Next(1, downPin.ReleaseAndGetAddressOf(), &fetched) == S_OK) {
            PIN_INFO downInfo;
            if (FAILED(downPin->QueryPinInfo(&downInfo))) continue;
            ComPtr<IPin> downPartner;
            const HRESULT connected = downPin->ConnectedTo(downPartner.ReleaseAndGetAddressOf());
            if (SUCCEEDED(connected)) continue;
            if (connected != VFW_E_NOT_CONNECTED) {
                WriteLog("FAIL: Failed in pIPinDownstream->ConnectedTo()!\n");
                continue;
            }
            if (downInfo.dir != PINDIR_INPUT) continue;
            if (SUCCEEDED(graph->Connect(upPin.Get(), downPin.Get()))) return S_OK;
        }
    }
    return E_FAIL;
}

void CBDAGraph::ConnectPins(IGraphBuilder* graph, IBaseFilter* from, IBaseFilter* to,
                            DriverReports& reports) {
    const auto fail = [&reports](DriverReport::Form form, const char* text) {
        reports.push_back({form, text});
    };
    if (graph == nullptr) return fail(DriverReport::Form::Error, "ConnectPins builder == NULL");
    if (from == nullptr) return fail(DriverReport::Form::Error, "ConnectPins out_from == NULL");
    if (to == nullptr) return fail(DriverReport::Form::Error, "ConnectPins in_to == NULL");
    const ComPtr<IPin> output = FirstFreePin(from, PINDIR_OUTPUT);
    if (!output) {
        return fail(DriverReport::Form::Notice,
                    "CBDAGraph::ConnectPins() - No output pin found on filter\r\n");
    }
    const ComPtr<IPin> input = FirstFreePin(to, PINDIR_INPUT);
    if (!input) {
        return fail(DriverReport::Form::Notice,
                    "CBDAGraph::ConnectPins() - No input pin found on filter\r\n");
    }
    if (graph->Connect(output.Get(), input.Get()) != S_OK) {
        fail(DriverReport::Form::Notice,
             "CBDAGraph::ConnectPins() - Could not connect pins together. Error was: ");
    }
}

HRESULT CBDAGraph::RunGraph() {
    return m_pGraphControl ? m_pGraphControl->Run() : E_POINTER;
}

void CBDAGraph::ArmSink() {
    if (m_pSinkFilter != nullptr) m_pSinkFilter->m_pInputPin->Arm();
}

RecordStreamLoss CBDAGraph::ReadStreamLoss() const {
    RecordStreamLoss loss;
    if (!m_pReceiverDevice) return loss;
    ComPtr<IStreamLossStatistics> statistics;
    if (FAILED(m_pReceiverDevice->QueryInterface(IStreamLossStatistics::kIid,
                                                 statistics.ReleaseAndGetVoidAddress())) ||
        FAILED(statistics->GetStreamLoss(&loss.overruns, &loss.bytesLost))) {
        return RecordStreamLoss{};
    }
    return loss;
}

void CBDAGraph::StopGraph() {
    if (!m_pGraphControl) return;
    // The stop joins the streaming thread, which may sit in the sink's write.
    const CRecordFile::CWaitRelease release(m_record.m_RecordFile);
    m_pGraphControl->Stop();
}

std::int32_t CBDAGraph::UndoFailedBuild() {
    StopGraph();
    if (m_pKsCtrl) {
        std::lock_guard driver(m_driverMutex);
        m_pKsCtrl.Reset();
    }
    if (m_pProvider && m_pGraph) m_pGraph->RemoveFilter(m_pProvider.Get());
    m_pGraphControl.Reset();
    m_pProvider.Reset();
    if (m_pTunerDevice) {
        if (m_pGraph) m_pGraph->RemoveFilter(m_pTunerDevice.Get());
        m_pTunerDevice.Reset();
    }
    m_pGraph.Reset();
    return 0;
}

void CBDAGraph::ReleaseTunerGraph() {
    StopGraph();
    if (m_pKsCtrl) {
        std::lock_guard driver(m_driverMutex);
        m_pKsCtrl.Reset();
    }
    if (m_pGraph) {
        if (m_pReceiverDevice) m_pGraph->RemoveFilter(m_pReceiverDevice.Get());
        if (m_pProvider) m_pGraph->RemoveFilter(m_pProvider.Get());
        if (m_pSinkFilter) m_pGraph->RemoveFilter(m_pSinkFilter);
    }
    m_pGraphControl.Reset();
    m_pReceiverDevice.Reset();
    m_pDemuxFilter.Reset();
    m_pTeeFilter.Reset();
    m_pInfoFilter.Reset();
    m_pProvider.Reset();
    if (m_pTunerDevice) {
        if (m_pGraph) m_pGraph->RemoveFilter(m_pTunerDevice.Get());
        m_pTunerDevice.Reset();
    }
    DestroySinkFilter();
    ReleaseTapFilter();
    m_pGraph.Reset();
    // The tuning space is owned here too; the persistent store keeps its settings.
    m_pSpace.Reset();
    CoUninitialize();
}

void CBDAGraph::DestroySinkFilter() {
    if (m_pSinkFilter == nullptr) return;
    // Direct destruction: the pin first, then the filter, whose own destructor leaves the pin
    // alone. The graph no longer holds either.
    delete m_pSinkFilter->m_pInputPin;
    delete m_pSinkFilter;
    m_pSinkFilter = nullptr;
}

void CBDAGraph::ReleaseTapFilter() {
    if (!m_pTapFilter) return;
    if (m_pGraph) m_pGraph->RemoveFilter(m_pTapFilter.Get());
    // The graph is stopped: the tap's worker ends after the consumer call under way, if any.
    m_pTapFilter.Reset();
}
