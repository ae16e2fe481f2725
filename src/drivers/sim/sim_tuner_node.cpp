#include "drivers/sim/sim_tuner_node.h"

#include "drivers/sim/sim_tuner_filter.h"

CSimTunerNode::CSimTunerNode(CSimTunerFilter* filter) : CUnknown(nullptr), m_pFilter(filter) {}

HRESULT CSimTunerNode::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (iid == IBDA_FrequencyFilter::kIid) return GetInterface(static_cast<IBDA_FrequencyFilter*>(this), ppv);
    if (iid == IBDA_LNBInfo::kIid) return GetInterface(static_cast<IBDA_LNBInfo*>(this), ppv);
    if (iid == IBDA_SignalStatistics::kIid) {
        if (m_pFilter->Card().Faults().IsRefused(CSimFaults::Interface::SignalStatistics)) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        return GetInterface(static_cast<IBDA_SignalStatistics*>(this), ppv);
    }
    return CUnknown::NonDelegatingQueryInterface(iid, ppv);
}

ULONG CSimTunerNode::NonDelegatingAddRef() { return static_cast<IBaseFilter*>(m_pFilter)->AddRef(); }

ULONG CSimTunerNode::NonDelegatingRelease() { return static_cast<IBaseFilter*>(m_pFilter)->Release(); }

HRESULT CSimTunerNode::put_Frequency(ULONG frequency) {
    m_pFilter->ChangePending([&](SimTuneRequest& r) { r.frequency = frequency; });
    return S_OK;
}

HRESULT CSimTunerNode::get_Frequency(ULONG* frequency) {
    if (frequency == nullptr) return E_POINTER;
    *frequency = m_pFilter->Pending().frequency;
    return S_OK;
}

HRESULT CSimTunerNode::put_Polarity(Polarisation polarity) {
    m_pFilter->ChangePending([&](SimTuneRequest& r) { r.polarisation = polarity; });
    return S_OK;
}

HRESULT CSimTunerNode::get_Polarity(Polarisation* polarity) {
    if (polarity == nullptr) return E_POINTER;
    *polarity = static_cast<Polarisation>(m_pFilter->Pending().polarisation);
    return S_OK;
}

HRESULT CSimTunerNode::put_FrequencyMultiplier(ULONG multiplier) {
    m_pFilter->ChangePending([&](SimTuneRequest& r) { r.multiplier = multiplier; });
    return S_OK;
}

HRESULT CSimTunerNode::get_FrequencyMultiplier(ULONG* multiplier) {
    if (multiplier == nullptr) return E_POINTER;
    *multiplier = m_pFilter->Pending().multiplier;
    return S_OK;
}

HRESULT CSimTunerNode::put_LocalOscillatorFrequencyLowBand(ULONG frequency) {
    m_pFilter->ChangePending([&](SimTuneRequest& r) { r.lowOscillator = frequency; });
    return S_OK;
}

HRESULT CSimTunerNode::get_LocalOscillatorFrequencyLowBand(ULONG* frequency) {
    if (frequency == nullptr) return E_POINTER;
    *frequency = m_pFilter->Pending().lowOscillator;
    return S_OK;
}

HRESULT CSimTunerNode::put_LocalOscillatorFrequencyHighBand(ULONG frequency) {
    m_pFilter->ChangePending([&](SimTuneRequest& r) { r.highOscillator = frequency; });
    return S_OK;
}

HRESULT CSimTunerNode::get_LocalOscillatorFrequencyHighBand(ULONG* frequency) {
    if (frequency == nullptr) return E_POINTER;
    *frequency = m_pFilter->Pending().highOscillator;
    return S_OK;
}

HRESULT CSimTunerNode::put_HighLowSwitchFrequency(ULONG frequency) {
    m_pFilter->ChangePending([&](SimTuneRequest& r) { r.lnbSwitch = frequency; });
    return S_OK;
}

HRESULT CSimTunerNode::get_HighLowSwitchFrequency(ULONG* frequency) {
    if (frequency == nullptr) return E_POINTER;
    *frequency = m_pFilter->Pending().lnbSwitch;
    return S_OK;
}

template <typename T>
HRESULT CSimTunerNode::Read(T* out, T (*pick)(const SimSignal&)) {
    if (out == nullptr) return E_POINTER;
    CSimCard& card = m_pFilter->Card();
    if (const auto failure = card.Faults().StatisticsFailure()) return *failure;
    SimSignal signal;
    const HRESULT hr = card.ReadSignal(&signal);
    if (FAILED(hr)) return hr;
    *out = pick(signal);
    return S_OK;
}

HRESULT CSimTunerNode::get_SignalStrength(LONG* strength) {
    return Read<LONG>(strength, [](const SimSignal& s) { return s.strength; });
}

HRESULT CSimTunerNode::get_SignalQuality(LONG* quality) {
    return Read<LONG>(quality, [](const SimSignal& s) { return s.quality; });
}

HRESULT CSimTunerNode::get_SignalPresent(BOOLEAN* present) {
    return Read<BOOLEAN>(present, [](const SimSignal& s) { return static_cast<BOOLEAN>(s.present ? 1 : 0); });
}

HRESULT CSimTunerNode::get_SignalLocked(BOOLEAN* locked) {
    return Read<BOOLEAN>(locked, [](const SimSignal& s) { return static_cast<BOOLEAN>(s.locked ? 1 : 0); });
}
