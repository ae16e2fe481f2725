#include "drivers/sim/sim_test_rig.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <sstream>
#include <utility>

#include "platform/bda/bda_classes.h"
#include "platform/bda/bda_device_interfaces.h"
#include "platform/com/co_create.h"
#include "platform/devices/device_registry.h"
#include "platform/devices/system_device_enum.h"
#include "platform/ks/vendor_property_sets.h"
#include "platform/media/media_classes.h"
#include "platform/media/transport_info_filter.h"
#include "platform/win/known_folders.h"
#include "support/test_sink_filter.h"
#include "support/test_sink_pin.h"

std::string BuildTranspondersFolder() {
    return std::string(VLK_TEST_PROGRAM_DIR) + "/Transponders";
}

CSimTestEnvironment::CSimTestEnvironment(bool withSatelliteFiles)
    : m_previousRoots(platform::CurrentFolderRoots()) {
    RegisterDeviceEnumeratorClass();
    RegisterMediaClasses();
    RegisterBdaClasses();
    std::filesystem::create_directories(m_folder.File("config"));
    platform::FolderRoots roots;
    roots.programFolder = withSatelliteFiles ? std::string(VLK_TEST_PROGRAM_DIR) : m_folder.Path();
    roots.driveCRoot = m_folder.Path();
    roots.configFolder = m_folder.File("config");
    platform::SetFolderRoots(std::move(roots));
}

CSimTestEnvironment::~CSimTestEnvironment() {
    platform::SetFolderRoots(m_previousRoots);
}

std::string CSimTestEnvironment::TraceText() const {
    return ReadWholeFile(m_folder.File("SimulatedCard.log"));
}

std::vector<std::string> CSimTestEnvironment::TraceLines() const {
    std::vector<std::string> lines;
    std::istringstream in(TraceText());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

ComPtr<IBaseFilter> BindDevice(const GUID& category, const std::wstring& name) {
    for (const DeviceDescriptor& device : CDeviceRegistry::Instance().Devices(category)) {
        if (device.friendlyName != name) continue;
        ComPtr<IBaseFilter> filter;
        if (SUCCEEDED(device.bindFilter(IID_IBaseFilter, filter.ReleaseAndGetVoidAddress())))
            return filter;
    }
    return nullptr;
}

ComPtr<IPin> PinOf(IBaseFilter* filter, const wchar_t* name) {
    ComPtr<IPin> pin;
    filter->FindPin(name, pin.ReleaseAndGetAddressOf());
    return pin;
}

SimOptions CSimTestRig::NoiselessOptions() {
    SimOptions options;
    options.noise = 0;
    return options;
}

const CSimSky& BuildSky() {
    // Reading the 328 generated files takes most of a second in a debug build: once per run, and
    // to the end before the first test, so no reading outlives a test program that needed none.
    static const CSimSky sky = [] {
        CSimSky loaded = CSimSky::Load(BuildTranspondersFolder());
        loaded.Carriers();
        return loaded;
    }();
    return sky;
}

CSimTestRig::CSimTestRig(std::size_t cardIndex, SimOptions options, CSimClock::Mode mode)
    : m_nCard(cardIndex) {
    m_pProvider = std::make_unique<CSimDeviceProvider>(options, mode, BuildSky());
    const SimCardProfile& profile = m_pProvider->Card(cardIndex).Profile();

    EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                               m_pGraph.ReleaseAndGetAddressOf()),
              S_OK);
    m_pControl = m_pGraph.As<IMediaControl>();
    EXPECT_EQ(CoCreateInstance(CLSID_DVBSNetworkProvider, nullptr, CLSCTX_INPROC_SERVER,
                               m_pNetworkProvider.ReleaseAndGetAddressOf()),
              S_OK);
    m_pITuner = m_pNetworkProvider.As<ITuner>();
    EXPECT_EQ(CoCreateInstance(CLSID_DVBSTuningSpace, nullptr, CLSCTX_INPROC_SERVER,
                               m_pSpace.ReleaseAndGetAddressOf()),
              S_OK);
    m_pSpace->put__NetworkType(CLSID_DVBSNetworkProvider);
    m_pITuner->put_TuningSpace(m_pSpace.Get());

    m_pTuner = BindDevice(KSCATEGORY_BDA_NETWORK_TUNER, std::wstring(profile.friendlyName));
    m_pCapture = BindDevice(KSCATEGORY_BDA_RECEIVER_COMPONENT, std::wstring(profile.receiverName));
    m_pInfo =
        BindDevice(KSCATEGORY_BDA_TRANSPORT_INFORMATION, std::wstring(profile.transportInfoName));
    EXPECT_TRUE(m_pTuner && m_pCapture && m_pInfo);
    m_pInfoObject = dynamic_cast<CTransportInfoFilter*>(m_pInfo.Get());
    EXPECT_EQ(CoCreateInstance(CLSID_InfTee, nullptr, CLSCTX_INPROC_SERVER,
                               m_pTee.ReleaseAndGetAddressOf()),
              S_OK);
    m_pSinkObject = new CTestSinkFilter(&m_sinkLock);
    m_pSink = static_cast<IBaseFilter*>(m_pSinkObject);
    m_pSinkObject->InputPin()->SetReceiveHook([this](IMediaSample* sample) {
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        const LONG length = sample->GetActualDataLength();
        std::lock_guard guard(m_bytesLock);
        m_bytes.insert(m_bytes.end(), data, data + length);
        m_lengths.push_back(length);
    });

    EXPECT_EQ(m_pGraph->AddFilter(m_pNetworkProvider.Get(), L"Network DVBS Provider"), S_OK);
    EXPECT_EQ(m_pGraph->AddFilter(m_pTuner.Get(), nullptr), S_OK);
    EXPECT_EQ(m_pGraph->AddFilter(m_pCapture.Get(), nullptr), S_OK);
    EXPECT_EQ(m_pGraph->AddFilter(m_pTee.Get(), L"Infinite pin tee splitter"), S_OK);
    EXPECT_EQ(m_pGraph->AddFilter(m_pInfo.Get(), L"transport information filter"), S_OK);
    EXPECT_EQ(m_pGraph->AddFilter(m_pSink.Get(), L"Dest Filter"), S_OK);
    EXPECT_EQ(m_pGraph->Connect(PinOf(m_pNetworkProvider.Get(), L"Antenna Out").Get(),
                                PinOf(m_pTuner.Get(), L"Input0").Get()),
              S_OK);
    EXPECT_EQ(m_pGraph->Connect(PinOf(m_pTuner.Get(), L"MPEG2 Transport").Get(),
                                PinOf(m_pCapture.Get(), L"MPEG2 Transport").Get()),
              S_OK);
    EXPECT_EQ(m_pGraph->Connect(PinOf(m_pCapture.Get(), L"Transport Stream").Get(),
                                PinOf(m_pTee.Get(), L"Input").Get()),
              S_OK);
    EXPECT_EQ(m_pGraph->Connect(PinOf(m_pTee.Get(), L"Output1").Get(),
                                PinOf(m_pInfo.Get(), L"Input").Get()),
              S_OK);
    EXPECT_EQ(m_pGraph->Connect(PinOf(m_pTee.Get(), L"Output2").Get(),
                                PinOf(m_pSink.Get(), L"Input").Get()),
              S_OK);

    if (profile.carrier == SimPropertyCarrier::Usb) {
        m_pTuner->QueryInterface(IID_IKsPropertySet, m_pDriver.ReleaseAndGetVoidAddress());
    } else {
        PinOf(m_pTuner.Get(), L"Input0")
            ->QueryInterface(IID_IKsPropertySet, m_pDriver.ReleaseAndGetVoidAddress());
    }
    EXPECT_TRUE(m_pDriver);
}

CSimTestRig::~CSimTestRig() {
    if (m_pControl) m_pControl->Stop();
    m_pDriver = nullptr;
    m_pControl = nullptr;
    m_pITuner = nullptr;
    m_pGraph = nullptr;  // removes every filter and breaks the connections
}

HRESULT CSimTestRig::SendCommittedSwitch(char port, const SimTune& tune) {
    std::uint8_t d = 0xF0;
    if (tune.frequencyMHz > static_cast<std::uint32_t>(tune.switchMHz)) d += 1;
    if (tune.polarisation == 'H') d += 2;
    d += static_cast<std::uint8_t>(4 * (port - 'A'));
    return SendDiseqc({0xE0, 0x10, 0x38, d});
}

HRESULT CSimTestRig::SendDiseqc(const std::vector<std::uint8_t>& message) {
    if (Card().Profile().carrier == SimPropertyCarrier::Usb) {
        std::copy(message.begin(), message.end(),
                  m_usbRecord.begin() + TunerControlRecord::kMessageOffset);
        return m_pDriver->Set(KSPROPSETID_Ctrl, KSPROPERTY_CTRL_TUNER, nullptr, 0,
                              m_usbRecord.data(), TunerControlRecord::kSize);
    }
    DiseqcMessageRecord record = DiseqcMessageRecord::For(message);
    return m_pDriver->Set(KSPROPSETID_BdaExt, KSPROPERTY_BDA_DISEQC, nullptr, 0,
                          record.bytes.data(), DiseqcMessageRecord::kSize);
}

HRESULT CSimTestRig::Tune(const SimTune& tune) {
    m_pSpace->put_LNBSwitch(tune.switchMHz * 1000);
    m_pSpace->put_HighOscillator(tune.highMHz * 1000);
    m_pSpace->put_LowOscillator(tune.lowMHz * 1000);
    ComPtr<ITuneRequest> request;
    HRESULT hr = m_pSpace->CreateTuneRequest(request.ReleaseAndGetAddressOf());
    if (FAILED(hr)) return hr;
    ComPtr<IDVBSLocator> locator;
    hr = CoCreateInstance(CLSID_DVBSLocator, nullptr, CLSCTX_INPROC_SERVER,
                          locator.ReleaseAndGetAddressOf());
    if (FAILED(hr)) return hr;
    locator->put_OuterFEC(BDA_FEC_VITERBI);
    locator->put_CarrierFrequency(static_cast<LONG>(tune.frequencyMHz * 1000));
    locator->put_SignalPolarisation(tune.polarisation == 'H' ? BDA_POLARISATION_LINEAR_H
                                                             : BDA_POLARISATION_LINEAR_V);
    locator->put_SymbolRate(static_cast<LONG>(tune.symbolRateKsps));
    request->put_Locator(locator.Get());
    return m_pITuner->put_TuneRequest(request.Get());
}

HRESULT CSimTestRig::Run() {
    return m_pControl->Run();
}

HRESULT CSimTestRig::Stop() {
    return m_pControl->Stop();
}

HRESULT CSimTestRig::SetRecord(const GUID& set, DWORD id, std::vector<std::uint8_t> record) {
    const DWORD size = static_cast<DWORD>(record.size());
    return m_pDriver->Set(set, id, record.data(), size, record.data(), size);
}

HRESULT CSimTestRig::GetRecord(const GUID& set, DWORD id, std::vector<std::uint8_t>& record) {
    const DWORD size = static_cast<DWORD>(record.size());
    DWORD returned = 0;
    return m_pDriver->Get(set, id, record.data(), size, record.data(), size, &returned);
}

std::vector<std::uint8_t> CSimTestRig::TakeBytes() {
    std::lock_guard guard(m_bytesLock);
    return std::exchange(m_bytes, {});
}

std::uint64_t CSimTestRig::SamplesReceived() const {
    std::lock_guard guard(m_bytesLock);
    return m_lengths.size();
}

std::vector<LONG> CSimTestRig::SampleLengths() const {
    std::lock_guard guard(m_bytesLock);
    return m_lengths;
}

std::vector<SdtService> CSimTestRig::Services() const {
    return m_pInfoObject != nullptr ? m_pInfoObject->Services() : std::vector<SdtService>{};
}

CSimTestRig::Statistics CSimTestRig::ReadStatistics() const {
    Statistics statistics;
    ComPtr<IBDA_Topology> topology;
    statistics.hr =
        m_pTuner->QueryInterface(IBDA_Topology::kIid, topology.ReleaseAndGetVoidAddress());
    if (FAILED(statistics.hr)) return statistics;
    ComPtr<IUnknown> node;
    statistics.hr = topology->GetControlNode(0, 1, kBdaTunerNode, node.ReleaseAndGetAddressOf());
    if (FAILED(statistics.hr)) return statistics;
    ComPtr<IBDA_SignalStatistics> signal;
    statistics.hr =
        node->QueryInterface(IBDA_SignalStatistics::kIid, signal.ReleaseAndGetVoidAddress());
    if (FAILED(statistics.hr)) return statistics;
    statistics.hr = signal->get_SignalQuality(&statistics.quality);
    if (FAILED(statistics.hr)) return statistics;
    signal->get_SignalStrength(&statistics.strength);
    signal->get_SignalLocked(&statistics.locked);
    return statistics;
}
