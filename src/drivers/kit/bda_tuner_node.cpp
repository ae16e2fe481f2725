#include "drivers/kit/bda_tuner_node.h"

CBdaTunerNode::CBdaTunerNode(IBaseFilter* filter, CBdaPendingTune* pending,
                             IBdaSignalSource* signals)
    : CUnknown(nullptr), m_pFilter(filter), m_pPending(pending), m_pSignals(signals) {}

HRESULT CBdaTunerNode::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (iid == IBDA_FrequencyFilter::kIid) {
        return GetInterface(static_cast<IBDA_FrequencyFilter*>(this), ppv);
    }
    if (iid == IBDA_LNBInfo::kIid) return GetInterface(static_cast<IBDA_LNBInfo*>(this), ppv);
    if (iid == IBDA_SignalStatistics::kIid) {
        if (!m_pSignals->OffersSignalStatistics()) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        return GetInterface(static_cast<IBDA_SignalStatistics*>(this), ppv);
    }
    return CUnknown::NonDelegatingQueryInterface(iid, ppv);
}

ULONG CBdaTunerNode::NonDelegatingAddRef() {
    return m_pFilter->AddRef();
}

ULONG CBdaTunerNode::NonDelegatingRelease() {
    return m_pFilter->Release();
}

HRESULT CBdaTunerNode::Put(ULONG BdaTuneRequest::*field, ULONG value) {
    m_pPending->Change([&](BdaTuneRequest& request) { request.*field = value; });
    return S_OK;
}

HRESULT CBdaTunerNode::Get(ULONG BdaTuneRequest::*field, ULONG* value) const {
    if (value == nullptr) return E_POINTER;
    *value = m_pPending->Current().*field;
    return S_OK;
}

HRESULT CBdaTunerNode::put_Frequency(ULONG frequency) {
    return Put(&BdaTuneRequest::frequency, frequency);
}

HRESULT CBdaTunerNode::get_Frequency(ULONG* frequency) {
    return Get(&BdaTuneRequest::frequency, frequency);
}

HRESULT CBdaTunerNode::put_Polarity(Polarisation polarity) {
    m_pPending->Change([&](BdaTuneRequest& request) { request.polarisation = polarity; });
    return S_OK;
}

HRESULT CBdaTunerNode::get_Polarity(Polarisation* polarity) {
    if (polarity == nullptr) return E_POINTER;
    *polarity = static_cast<Polarisation>(m_pPending->Current().polarisation);
    return S_OK;
}

HRESULT CBdaTunerNode::put_FrequencyMultiplier(ULONG multiplier) {
    return Put(&BdaTuneRequest::multiplier, multiplier);
}

HRESULT CBdaTunerNode::get_FrequencyMultiplier(ULONG* multiplier) {
    return Get(&BdaTuneRequest::multiplier, multiplier);
}

HRESULT CBdaTunerNode::put_LocalOscillatorFrequencyLowBand(ULONG frequency) {
    return Put(&BdaTuneRequest::lowOscillator, frequency);
}

HRESULT CBdaTunerNode::get_LocalOscillatorFrequencyLowBand(ULONG* frequency) {
    return Get(&BdaTuneRequest::lowOscillator, frequency);
}

HRESULT CBdaTunerNode::put_LocalOscillatorFrequencyHighBand(ULONG frequency) {
    return Put(&BdaTuneRequest::highOscillator, frequency);
}

HRESULT CBdaTunerNode::get_LocalOscillatorFrequencyHighBand(ULONG* frequency) {
    return Get(&BdaTuneRequest::highOscillator, frequency);
}

HRESULT CBdaTunerNode::put_HighLowSwitchFrequency(ULONG frequency) {
    return Put(&BdaTuneRequest::lnbSwitch, frequency);
}

HRESULT CBdaTunerNode::get_HighLowSwitchFrequency(ULONG* frequency) {
    return Get(&BdaTuneRequest::lnbSwitch, frequency);
}

template <typename T>
HRESULT CBdaTunerNode::Read(T* out, T (*pick)(const BdaSignal&)) {
    if (out == nullptr) return E_POINTER;
    BdaSignal signal;
    const HRESULT hr = m_pSignals->ReadSignal(&signal);
    if (FAILED(hr)) return hr;
    *out = pick(signal);
    return S_OK;
}

HRESULT CBdaTunerNode::get_SignalStrength(LONG* strength) {
    return Read<LONG>(strength, [](const BdaSignal& s) { return s.strength; });
}

HRESULT CBdaTunerNode::get_SignalQuality(LONG* quality) {
    return Read<LONG>(quality, [](const BdaSignal& s) { return s.quality; });
}

HRESULT CBdaTunerNode::get_SignalPresent(BOOLEAN* present) {
    return Read<BOOLEAN>(
        present, [](const BdaSignal& s) { return static_cast<BOOLEAN>(s.present ? 1 : 0); });
}

HRESULT CBdaTunerNode::get_SignalLocked(BOOLEAN* locked) {
    return Read<BOOLEAN>(locked,
                         [](const BdaSignal& s) { return static_cast<BOOLEAN>(s.locked ? 1 : 0); });
}
