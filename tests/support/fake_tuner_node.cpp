#include "support/fake_tuner_node.h"

#include <string>
#include <utility>

CFakeTunerNode::CFakeTunerNode(std::shared_ptr<FakeTunerScript> script, ULONG nodeType,
                               IUnknown* signal)
    : m_pScript(std::move(script)), m_nNodeType(nodeType), m_pSignal(signal) {}

HRESULT CFakeTunerNode::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    const bool tuner = m_nNodeType == kBdaTunerNode;
    if (iid == IBDA_FrequencyFilter::kIid && tuner && m_pScript->bFrequencyFilter) {
        return GetInterface(static_cast<IBDA_FrequencyFilter*>(this), ppv);
    }
    if (iid == IBDA_LNBInfo::kIid && tuner && m_pScript->bLNBInfo) {
        return GetInterface(static_cast<IBDA_LNBInfo*>(this), ppv);
    }
    if (iid == IBDA_DigitalDemodulator::kIid && !tuner && m_pScript->bDemodulator) {
        return GetInterface(static_cast<IBDA_DigitalDemodulator*>(this), ppv);
    }
    if (iid == IBDA_SignalStatistics::kIid && tuner && m_pSignal)
        return m_pSignal->QueryInterface(iid, ppv);
    return CUnknown::NonDelegatingQueryInterface(iid, ppv);
}

namespace {
std::string Text(long long value) {
    return std::to_string(value);
}
}  // namespace

// The provider only writes; reading back is not part of what these tests check.
HRESULT CFakeTunerNode::put_Frequency(ULONG f) {
    return m_pScript->Call("put_Frequency", Text(f));
}
HRESULT CFakeTunerNode::get_Frequency(ULONG*) {
    return E_NOTIMPL;
}
HRESULT CFakeTunerNode::put_Polarity(Polarisation p) {
    return m_pScript->Call("put_Polarity", Text(p));
}
HRESULT CFakeTunerNode::get_Polarity(Polarisation*) {
    return E_NOTIMPL;
}
HRESULT CFakeTunerNode::put_FrequencyMultiplier(ULONG m) {
    return m_pScript->Call("put_FrequencyMultiplier", Text(m));
}
HRESULT CFakeTunerNode::get_FrequencyMultiplier(ULONG*) {
    return E_NOTIMPL;
}

HRESULT CFakeTunerNode::put_LocalOscillatorFrequencyLowBand(ULONG f) {
    return m_pScript->Call("put_LocalOscillatorFrequencyLowBand", Text(f));
}
HRESULT CFakeTunerNode::get_LocalOscillatorFrequencyLowBand(ULONG*) {
    return E_NOTIMPL;
}
HRESULT CFakeTunerNode::put_LocalOscillatorFrequencyHighBand(ULONG f) {
    return m_pScript->Call("put_LocalOscillatorFrequencyHighBand", Text(f));
}
HRESULT CFakeTunerNode::get_LocalOscillatorFrequencyHighBand(ULONG*) {
    return E_NOTIMPL;
}
HRESULT CFakeTunerNode::put_HighLowSwitchFrequency(ULONG f) {
    return m_pScript->Call("put_HighLowSwitchFrequency", Text(f));
}
HRESULT CFakeTunerNode::get_HighLowSwitchFrequency(ULONG*) {
    return E_NOTIMPL;
}

HRESULT CFakeTunerNode::put_ModulationType(ModulationType m) {
    return m_pScript->Call("put_ModulationType", Text(m));
}
HRESULT CFakeTunerNode::get_ModulationType(ModulationType*) {
    return E_NOTIMPL;
}
HRESULT CFakeTunerNode::put_InnerFECMethod(FECMethod m) {
    return m_pScript->Call("put_InnerFECMethod", Text(m));
}
HRESULT CFakeTunerNode::get_InnerFECMethod(FECMethod*) {
    return E_NOTIMPL;
}
HRESULT CFakeTunerNode::put_InnerFECRate(BinaryConvolutionCodeRate r) {
    return m_pScript->Call("put_InnerFECRate", Text(r));
}
HRESULT CFakeTunerNode::get_InnerFECRate(BinaryConvolutionCodeRate*) {
    return E_NOTIMPL;
}
HRESULT CFakeTunerNode::put_OuterFECMethod(FECMethod m) {
    return m_pScript->Call("put_OuterFECMethod", Text(m));
}
HRESULT CFakeTunerNode::get_OuterFECMethod(FECMethod*) {
    return E_NOTIMPL;
}
HRESULT CFakeTunerNode::put_SymbolRate(ULONG r) {
    return m_pScript->Call("put_SymbolRate", Text(r));
}
HRESULT CFakeTunerNode::get_SymbolRate(ULONG*) {
    return E_NOTIMPL;
}
HRESULT CFakeTunerNode::put_SpectralInversion(SpectralInversion i) {
    return m_pScript->Call("put_SpectralInversion", Text(i));
}
HRESULT CFakeTunerNode::get_SpectralInversion(SpectralInversion*) {
    return E_NOTIMPL;
}
