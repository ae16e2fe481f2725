#include "platform/bda/dvbs_network_provider.h"

#include "platform/bda/bda_device_interfaces.h"

namespace {

// What the tuner filter behind "Antenna Out" offers for tuning.
struct TunerControls {
    ComPtr<IBDA_DeviceControl> pDeviceControl;
    ComPtr<IBDA_LNBInfo> pLNBInfo;
    ComPtr<IBDA_FrequencyFilter> pFrequencyFilter;
    ComPtr<IBDA_DigitalDemodulator> pDemodulator;
};

template <typename T>
ComPtr<T> Query(IUnknown* object) {
    ComPtr<T> out;
    if (object != nullptr) object->QueryInterface(T::kIid, out.ReleaseAndGetVoidAddress());
    return out;
}

// Every lookup that fails means the same to the caller: this tuner cannot be tuned this way.
HRESULT FindTunerControls(IPin* tunerPin, TunerControls* controls) {
    PIN_INFO info;
    if (FAILED(tunerPin->QueryPinInfo(&info)) || !info.pFilter) return E_NOINTERFACE;
    const auto topology = Query<IBDA_Topology>(info.pFilter.Get());
    controls->pDeviceControl = Query<IBDA_DeviceControl>(info.pFilter.Get());
    if (!topology || !controls->pDeviceControl) return E_NOINTERFACE;
    ComPtr<IUnknown> tunerNode;
    ComPtr<IUnknown> demodulatorNode;
    if (FAILED(topology->GetControlNode(0, 1, kBdaTunerNode, tunerNode.ReleaseAndGetAddressOf())) ||
        FAILED(topology->GetControlNode(0, 1, kBdaDemodulatorNode,
                                        demodulatorNode.ReleaseAndGetAddressOf()))) {
        return E_NOINTERFACE;
    }
    controls->pFrequencyFilter = Query<IBDA_FrequencyFilter>(tunerNode.Get());
    controls->pLNBInfo = Query<IBDA_LNBInfo>(tunerNode.Get());
    controls->pDemodulator = Query<IBDA_DigitalDemodulator>(demodulatorNode.Get());
    if (!controls->pFrequencyFilter || !controls->pLNBInfo || !controls->pDemodulator) {
        return E_NOINTERFACE;
    }
    return S_OK;
}

// The values of one tune, as the driver takes them. The "not set" value -1 passes through the
// unsigned fields as 0xFFFFFFFF, which is how BDA drivers know to leave a setting alone.
struct TuneValues {
    ULONG nLowOscillator = 0;
    ULONG nHighOscillator = 0;
    ULONG nLNBSwitch = 0;
    SpectralInversion nSpectralInversion = BDA_SPECTRAL_INVERSION_NOT_SET;
    ULONG nFrequency = 0;
    Polarisation nPolarisation = BDA_POLARISATION_NOT_SET;
    ULONG nSymbolRate = 0;
    ModulationType nModulation = BDA_MOD_NOT_SET;
    FECMethod nInnerFEC = BDA_FEC_METHOD_NOT_SET;
    BinaryConvolutionCodeRate nInnerFECRate = BDA_BCC_RATE_NOT_SET;
    FECMethod nOuterFEC = BDA_FEC_METHOD_NOT_SET;
};

TuneValues ValuesOf(IDVBSTuningSpace* space, IDVBSLocator* locator) {
    LONG low = -1, high = -1, lnbSwitch = -1, frequency = -1, symbolRate = -1;
    TuneValues values;
    space->get_LowOscillator(&low);
    space->get_HighOscillator(&high);
    space->get_LNBSwitch(&lnbSwitch);
    space->get_SpectralInversion(&values.nSpectralInversion);
    locator->get_CarrierFrequency(&frequency);
    locator->get_SignalPolarisation(&values.nPolarisation);
    locator->get_SymbolRate(&symbolRate);
    locator->get_Modulation(&values.nModulation);
    locator->get_InnerFEC(&values.nInnerFEC);
    locator->get_InnerFECRate(&values.nInnerFECRate);
    locator->get_OuterFEC(&values.nOuterFEC);
    values.nLowOscillator = static_cast<ULONG>(low);
    values.nHighOscillator = static_cast<ULONG>(high);
    values.nLNBSwitch = static_cast<ULONG>(lnbSwitch);
    values.nFrequency = static_cast<ULONG>(frequency);
    values.nSymbolRate = static_cast<ULONG>(symbolRate);
    return values;
}

// The request's tuning space as a DVB-S one, else the provider's.
ComPtr<IDVBSTuningSpace> SatelliteSpaceOf(ITuneRequest* request, ITuningSpace* fallback) {
    ComPtr<ITuningSpace> space;
    request->get_TuningSpace(space.ReleaseAndGetAddressOf());
    auto dvbs = Query<IDVBSTuningSpace>(space.Get());
    return dvbs ? dvbs : Query<IDVBSTuningSpace>(fallback);
}

ComPtr<IDVBSLocator> SatelliteLocatorOf(ITuneRequest* request) {
    ComPtr<ILocator> locator;
    request->get_Locator(locator.ReleaseAndGetAddressOf());
    return Query<IDVBSLocator>(locator.Get());
}

}  // namespace

CDVBSNetworkProvider::CDVBSNetworkProvider()
    : CBaseFilter(L"DVB-S network provider", nullptr, &m_lock, CLSID_DVBSNetworkProvider),
      m_pOutput(std::make_unique<CAntennaOutputPin>(this, &m_lock, CLSID_DVBSNetworkProvider)) {}

CDVBSNetworkProvider::~CDVBSNetworkProvider() = default;

HRESULT CDVBSNetworkProvider::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (iid == ITuner::kIid) return GetInterface(static_cast<ITuner*>(this), ppv);
    return CBaseFilter::NonDelegatingQueryInterface(iid, ppv);
}

int CDVBSNetworkProvider::GetPinCount() {
    return 1;
}

CBasePin* CDVBSNetworkProvider::GetPin(int n) {
    return n == 0 ? m_pOutput.get() : nullptr;
}

HRESULT CDVBSNetworkProvider::get_TuningSpace(ITuningSpace** space) {
    if (space == nullptr) return E_POINTER;
    const std::lock_guard<std::mutex> lock(m_tuneLock);
    return m_pTuningSpace.CopyTo(space);
}

HRESULT CDVBSNetworkProvider::put_TuningSpace(ITuningSpace* space) {
    ComPtr<ITuningSpace> keep(space);
    const std::lock_guard<std::mutex> lock(m_tuneLock);
    m_pTuningSpace.Swap(keep);
    return S_OK;
}

HRESULT CDVBSNetworkProvider::get_TuneRequest(ITuneRequest** request) {
    if (request == nullptr) return E_POINTER;
    const std::lock_guard<std::mutex> lock(m_tuneLock);
    return m_pTuneRequest.CopyTo(request);
}

HRESULT CDVBSNetworkProvider::Validate(ITuneRequest* request) {
    if (request == nullptr) return E_POINTER;
    ComPtr<ITuningSpace> fallback;
    {
        const std::lock_guard<std::mutex> lock(m_tuneLock);
        fallback = m_pTuningSpace;
    }
    if (!SatelliteLocatorOf(request) || !SatelliteSpaceOf(request, fallback.Get())) {
        return E_INVALIDARG;
    }
    return S_OK;
}

HRESULT CDVBSNetworkProvider::put_TuneRequest(ITuneRequest* request) {
    if (request == nullptr) return E_POINTER;
    const std::lock_guard<std::mutex> lock(m_tuneLock);
    m_pTuneRequest = request;
    return Tune(request);
}

HRESULT CDVBSNetworkProvider::Tune(ITuneRequest* request) {
    ComPtr<IPin> tunerPin;
    if (FAILED(m_pOutput->ConnectedTo(tunerPin.ReleaseAndGetAddressOf())) || !tunerPin) {
        return VFW_E_NOT_CONNECTED;
    }
    const auto space = SatelliteSpaceOf(request, m_pTuningSpace.Get());
    const auto locator = SatelliteLocatorOf(request);
    if (!space || !locator) return E_INVALIDARG;

    TunerControls tuner;
    HRESULT hr = FindTunerControls(tunerPin.Get(), &tuner);
    if (FAILED(hr)) return hr;
    const TuneValues values = ValuesOf(space.Get(), locator.Get());

    // One change set, committed only when every value was taken: a tuner never tunes to a mix
    // of this request and an earlier one.
    IBDA_DeviceControl* control = tuner.pDeviceControl.Get();
    IBDA_LNBInfo* lnb = tuner.pLNBInfo.Get();
    IBDA_FrequencyFilter* frequency = tuner.pFrequencyFilter.Get();
    IBDA_DigitalDemodulator* demodulator = tuner.pDemodulator.Get();
    if (FAILED(hr = control->StartChanges())) return hr;
    if (FAILED(hr = lnb->put_LocalOscillatorFrequencyLowBand(values.nLowOscillator))) return hr;
    if (FAILED(hr = lnb->put_LocalOscillatorFrequencyHighBand(values.nHighOscillator))) return hr;
    if (FAILED(hr = lnb->put_HighLowSwitchFrequency(values.nLNBSwitch))) return hr;
    if (FAILED(hr = frequency->put_FrequencyMultiplier(1000))) return hr;  // frequencies in kHz
    if (FAILED(hr = frequency->put_Frequency(values.nFrequency))) return hr;
    if (FAILED(hr = frequency->put_Polarity(values.nPolarisation))) return hr;
    if (FAILED(hr = demodulator->put_SymbolRate(values.nSymbolRate))) return hr;
    if (FAILED(hr = demodulator->put_ModulationType(values.nModulation))) return hr;
    if (FAILED(hr = demodulator->put_InnerFECMethod(values.nInnerFEC))) return hr;
    if (FAILED(hr = demodulator->put_InnerFECRate(values.nInnerFECRate))) return hr;
    if (FAILED(hr = demodulator->put_OuterFECMethod(values.nOuterFEC))) return hr;
    if (FAILED(hr = demodulator->put_SpectralInversion(values.nSpectralInversion))) return hr;
    return control->CommitChanges();
}
