#include "drivers/linuxdvb/linux_dvb_test_rig.h"

#include <gtest/gtest.h>

#include "platform/bda/bda_classes.h"
#include "platform/bda/bda_device_interfaces.h"
#include "platform/com/co_create.h"
#include "platform/devices/device_registry.h"
#include "platform/devices/system_device_enum.h"
#include "platform/ks/vendor_property_sets.h"
#include "platform/ks/vendor_records.h"
#include "platform/media/media_classes.h"
#include "support/test_sink_filter.h"
#include "support/test_sink_pin.h"

namespace linuxdvb::testing {

namespace {

ComPtr<IBaseFilter> BindDevice(const GUID& category, const std::wstring& prefix) {
    for (const DeviceDescriptor& device : CDeviceRegistry::Instance().Devices(category)) {
        if (!device.friendlyName || device.friendlyName->rfind(prefix, 0) != 0) continue;
        ComPtr<IBaseFilter> filter;
        if (SUCCEEDED(device.bindFilter(IID_IBaseFilter, filter.ReleaseAndGetVoidAddress())))
            return filter;
    }
    return nullptr;
}

ComPtr<IPin> PinOf(IBaseFilter* filter, const wchar_t* name) {
    ComPtr<IPin> pin;
    if (filter != nullptr) filter->FindPin(name, pin.ReleaseAndGetAddressOf());
    return pin;
}

}  // namespace

DvbCardServices FakeCardServices(CFakeDvbKernel& kernel) {
    const std::shared_ptr<FakeDvbState> state = kernel.state;
    DvbCardTiming timing{kernel.Pause(),
                         [state](int milliseconds) {
                             std::lock_guard guard(state->lock);
                             state->nowMs += milliseconds;
                         },
                         [state] {
                             std::lock_guard guard(state->lock);
                             return state->nowMs;
                         }};
    const std::string rulesPath = std::string(VLK_TEST_PROGRAM_DIR) + "/LinuxTuners.ini";
    return DvbCardServices{
        std::move(timing),
        [rulesPath](const std::string& name) { return DvbDriverRules::Load(rulesPath, name); },
        nullptr, nullptr};
}

CLinuxDvbTestRig::CLinuxDvbTestRig(DvbFrontendDescription frontend)
    : CLinuxDvbTestRig(std::move(frontend),
                       [](CFakeDvbKernel& kernel) { return FakeCardServices(kernel); }) {}

CLinuxDvbTestRig::CLinuxDvbTestRig(DvbFrontendDescription frontend,
                                   const std::function<DvbCardServices(CFakeDvbKernel&)>& services)
    : m_pKernel(std::make_shared<CFakeDvbKernel>()) {
    RegisterDeviceEnumeratorClass();
    RegisterMediaClasses();
    RegisterBdaClasses();
    m_pKernel->frontends = {std::move(frontend)};
    m_pProvider = std::make_unique<CLinuxDvbDeviceProvider>(m_pKernel, CLinuxTunerNames::Defaults(),
                                                            services(*m_pKernel));
    EXPECT_EQ(m_pProvider->CardCount(), 1u);
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
    // The fake frontend's devices: "Linux DVB Capture (adapter 0, frontend 0)" and so on.
    m_pTuner = BindDevice(KSCATEGORY_BDA_NETWORK_TUNER, Card().TunerName());
    m_pCapture = BindDevice(KSCATEGORY_BDA_RECEIVER_COMPONENT, L"Linux DVB Capture");
    EXPECT_TRUE(m_pTuner && m_pCapture);
    auto* sink = new CTestSinkFilter(&m_sinkLock);
    m_pSink = static_cast<IBaseFilter*>(sink);
    sink->InputPin()->SetReceiveHook([this](IMediaSample* sample) {
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
    EXPECT_EQ(m_pGraph->AddFilter(m_pSink.Get(), L"Dest Filter"), S_OK);
    EXPECT_EQ(m_pGraph->Connect(PinOf(m_pNetworkProvider.Get(), L"Antenna Out").Get(),
                                PinOf(m_pTuner.Get(), L"Input0").Get()),
              S_OK);
    EXPECT_EQ(m_pGraph->Connect(PinOf(m_pTuner.Get(), L"MPEG2 Transport").Get(),
                                PinOf(m_pCapture.Get(), L"MPEG2 Transport").Get()),
              S_OK);
    EXPECT_EQ(m_pGraph->Connect(PinOf(m_pCapture.Get(), L"Transport Stream").Get(),
                                PinOf(m_pSink.Get(), L"Input").Get()),
              S_OK);
    PinOf(m_pTuner.Get(), L"Input0")
        ->QueryInterface(IID_IKsPropertySet, m_pPinDriver.ReleaseAndGetVoidAddress());
    m_pTuner->QueryInterface(IID_IKsPropertySet, m_pFilterDriver.ReleaseAndGetVoidAddress());
    EXPECT_TRUE(m_pPinDriver && m_pFilterDriver);
}

CLinuxDvbTestRig::~CLinuxDvbTestRig() {
    if (m_pControl) m_pControl->Stop();
    m_pPinDriver = nullptr;
    m_pFilterDriver = nullptr;
    m_pControl = nullptr;
    m_pITuner = nullptr;
    m_pGraph = nullptr;
    m_pTuner = nullptr;
    m_pCapture = nullptr;
    m_pSink = nullptr;
    m_pNetworkProvider = nullptr;
    m_pProvider.reset();
}

std::vector<std::uint8_t> CLinuxDvbTestRig::CommittedSwitch(int port, const Tune& tune) {
    std::uint8_t d = 0xF0;
    if (static_cast<std::uint32_t>(tune.frequencyMHz) > static_cast<std::uint32_t>(tune.switchMHz))
        d += 1;
    if (tune.polarisation == 'H') d += 2;
    d += static_cast<std::uint8_t>(4 * (port - 1));
    return {0xE0, 0x10, 0x38, d};
}

HRESULT CLinuxDvbTestRig::SendDiseqc(const std::vector<std::uint8_t>& message) {
    DiseqcMessageRecord record = DiseqcMessageRecord::For(message);
    return m_pPinDriver->Set(KSPROPSETID_BdaExt, KSPROPERTY_BDA_DISEQC, nullptr, 0,
                             record.bytes.data(), DiseqcMessageRecord::kSize);
}

HRESULT CLinuxDvbTestRig::TuneTo(const Tune& tune) {
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
    locator->put_SymbolRate(tune.symbolRateKsps);
    request->put_Locator(locator.Get());
    return m_pITuner->put_TuneRequest(request.Get());
}

HRESULT CLinuxDvbTestRig::SetRecord(const GUID& set, DWORD id, std::vector<std::uint8_t> record) {
    const auto size = static_cast<DWORD>(record.size());
    return m_pPinDriver->Set(set, id, record.data(), size, record.data(), size);
}

HRESULT CLinuxDvbTestRig::GetRecord(const GUID& set, DWORD id, std::vector<std::uint8_t>& record) {
    const auto size = static_cast<DWORD>(record.size());
    DWORD returned = 0;
    return m_pPinDriver->Get(set, id, record.data(), size, record.data(), size, &returned);
}

HRESULT CLinuxDvbTestRig::ReadSignal(LONG& strength, LONG& quality, BOOLEAN& locked) {
    ComPtr<IBDA_Topology> topology = m_pTuner.As<IBDA_Topology>();
    if (!topology) return E_NOINTERFACE;
    ComPtr<IUnknown> node;
    HRESULT hr = topology->GetControlNode(0, 1, 0, node.ReleaseAndGetAddressOf());
    if (FAILED(hr)) return hr;
    ComPtr<IBDA_SignalStatistics> statistics = node.As<IBDA_SignalStatistics>();
    if (!statistics) return E_NOINTERFACE;
    if (FAILED(hr = statistics->get_SignalQuality(&quality))) return hr;
    if (FAILED(hr = statistics->get_SignalStrength(&strength))) return hr;
    return statistics->get_SignalLocked(&locked);
}

std::vector<std::uint8_t> CLinuxDvbTestRig::TakeBytes() {
    std::lock_guard guard(m_bytesLock);
    return std::exchange(m_bytes, {});
}

std::vector<LONG> CLinuxDvbTestRig::SampleLengths() {
    std::lock_guard guard(m_bytesLock);
    return m_lengths;
}

std::vector<std::uint8_t> MakePackets(std::size_t count, std::uint32_t firstIndex) {
    std::vector<std::uint8_t> bytes(count * 188, 0xFF);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t* packet = bytes.data() + i * 188;
        const std::uint32_t index = firstIndex + static_cast<std::uint32_t>(i);
        packet[0] = 0x47;
        packet[1] = 0x01;
        packet[2] = 0x00;
        packet[3] = static_cast<std::uint8_t>(0x10 | (index & 0x0F));
        for (int b = 0; b < 4; ++b) packet[4 + b] = static_cast<std::uint8_t>(index >> (8 * b));
    }
    return bytes;
}

}  // namespace linuxdvb::testing
