#include "drivers/linuxdvb/linux_dvb_tuner_node.h"

#include "drivers/linuxdvb/linux_dvb_card.h"
#include "drivers/linuxdvb/linux_dvb_tuner_filter.h"

namespace linuxdvb {

CLinuxDvbTunerNode::CLinuxDvbTunerNode(CLinuxDvbTunerFilter* filter)
    : CUnknown(nullptr), m_pFilter(filter) {}

HRESULT CLinuxDvbTunerNode::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (iid == IBDA_FrequencyFilter::kIid)
        return GetInterface(static_cast<IBDA_FrequencyFilter*>(this), ppv);
    if (iid == IBDA_LNBInfo::kIid) return GetInterface(static_cast<IBDA_LNBInfo*>(this), ppv);
    if (iid == IBDA_SignalStatistics::kIid)
        return GetInterface(static_cast<IBDA_SignalStatistics*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(iid, ppv);
}

ULONG CLinuxDvbTunerNode::NonDelegatingAddRef() {
    return static_cast<IBaseFilter*>(m_pFilter)->AddRef();
}

ULONG CLinuxDvbTunerNode::NonDelegatingRelease() {
    return static_cast<IBaseFilter*>(m_pFilter)->Release();
}

HRESULT CLinuxDvbTunerNode::put_Frequency(ULONG frequency) {
    m_pFilter->ChangePending([&](DvbTuneRequest& r) { r.frequency = frequency; });
    return S_OK;
}

HRESULT CLinuxDvbTunerNode::get_Frequency(ULONG* frequency) {
    if (frequency == nullptr) return E_POINTER;
    *frequency = m_pFilter->Pending().frequency;
    return S_OK;
}

HRESULT CLinuxDvbTunerNode::put_Polarity(Polarisation polarity) {
    m_pFilter->ChangePending([&](DvbTuneRequest& r) { r.polarisation = polarity; });
    return S_OK;
}

HRESULT CLinuxDvbTunerNode::get_Polarity(Polarisation* polarity) {
    if (polarity == nullptr) return E_POINTER;
    *polarity = static_cast<Polarisation>(m_pFilter->Pending().polarisation);
    return S_OK;
}

HRESULT CLinuxDvbTunerNode::put_FrequencyMultiplier(ULONG multiplier) {
    m_pFilter->ChangePending([&](DvbTuneRequest& r) { r.multiplier = multiplier; });
    return S_OK;
}

HRESULT CLinuxDvbTunerNode::get_FrequencyMultiplier(ULONG* multiplier) {
    if (multiplier == nullptr) return E_POINTER;
    *multiplier = m_pFilter->Pending().multiplier;
    return S_OK;
}

HRESULT CLinuxDvbTunerNode::put_LocalOscillatorFrequencyLowBand(ULONG frequency) {
    m_pFilter->ChangePending([&](DvbTuneRequest& r) { r.lowOscillator = frequency; });
    return S_OK;
}

HRESULT CLinuxDvbTunerNode::get_LocalOscillatorFrequencyLowBand(ULONG* frequency) {
    if (frequency == nullptr) return E_POINTER;
    *frequency = m_pFilter->Pending().lowOscillator;
    return S_OK;
}

HRESULT CLinuxDvbTunerNode::put_LocalOscillatorFrequencyHighBand(ULONG frequency) {
    m_pFilter->ChangePending([&](DvbTuneRequest& r) { r.highOscillator = frequency; });
    return S_OK;
}

HRESULT CLinuxDvbTunerNode::get_LocalOscillatorFrequencyHighBand(ULONG* frequency) {
    if (frequency == nullptr) return E_POINTER;
    *frequency = m_pFilter->Pending().highOscillator;
    return S_OK;
}

HRESULT CLinuxDvbTunerNode::put_HighLowSwitchFrequency(ULONG frequency) {
    m_pFilter->ChangePending([&](DvbTuneRequest& r) { r.lnbSwitch = frequency; });
    return S_OK;
}

HRESULT CLinuxDvbTunerNode::get_HighLowSwitchFrequency(ULONG* frequency) {
    if (frequency == nullptr) return E_POINTER;
    *frequency = m_pFilter->Pending().lnbSwitch;
    return S_OK;
}

template <typename T>
HRESULT CLinuxDvbTunerNode::Read(T* out, T (*pick)(const DvbSignal&)) {
    if (out == nullptr) return E_POINTER;
    DvbSignal signal;
    const HRESULT hr = m_pFilter->Card().ReadSignal(signal);
    if (FAILED(hr)) return hr;
    *out = pick(signal);
    return S_OK;
}

HRESULT CLinuxDvbTunerNode::get_SignalStrength(LONG* strength) {
    return Read<LONG>(strength, [](const DvbSignal& s) { return static_cast<LONG>(s.strength); });
}

HRESULT CLinuxDvbTunerNode::get_SignalQuality(LONG* quality) {
    return Read<LONG>(quality, [](const DvbSignal& s) { return static_cast<LONG>(s.quality); });
}

HRESULT CLinuxDvbTunerNode::get_SignalPresent(BOOLEAN* present) {
    return Read<BOOLEAN>(
        present, [](const DvbSignal& s) { return static_cast<BOOLEAN>(s.strength > 0 ? 1 : 0); });
}

HRESULT CLinuxDvbTunerNode::get_SignalLocked(BOOLEAN* locked) {
    return Read<BOOLEAN>(locked,
                         [](const DvbSignal& s) { return static_cast<BOOLEAN>(s.locked ? 1 : 0); });
}

}  // namespace linuxdvb
