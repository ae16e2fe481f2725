#include "drivers/sim/sim_demodulator_node.h"

#include "drivers/sim/sim_tuner_filter.h"

CSimDemodulatorNode::CSimDemodulatorNode(CSimTunerFilter* filter) : CUnknown(nullptr), m_pFilter(filter) {}

HRESULT CSimDemodulatorNode::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (iid == IBDA_DigitalDemodulator::kIid) return GetInterface(static_cast<IBDA_DigitalDemodulator*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(iid, ppv);
}

ULONG CSimDemodulatorNode::NonDelegatingAddRef() { return static_cast<IBaseFilter*>(m_pFilter)->AddRef(); }

ULONG CSimDemodulatorNode::NonDelegatingRelease() { return static_cast<IBaseFilter*>(m_pFilter)->Release(); }

HRESULT CSimDemodulatorNode::put_ModulationType(ModulationType modulation) {
    m_modulation = modulation;
    return S_OK;
}

HRESULT CSimDemodulatorNode::get_ModulationType(ModulationType* modulation) {
    if (modulation == nullptr) return E_POINTER;
    *modulation = m_modulation;
    return S_OK;
}

HRESULT CSimDemodulatorNode::put_InnerFECMethod(FECMethod method) {
    m_innerMethod = method;
    return S_OK;
}

HRESULT CSimDemodulatorNode::get_InnerFECMethod(FECMethod* method) {
    if (method == nullptr) return E_POINTER;
    *method = m_innerMethod;
    return S_OK;
}

HRESULT CSimDemodulatorNode::put_InnerFECRate(BinaryConvolutionCodeRate rate) {
    m_innerRate = rate;
    return S_OK;
}

HRESULT CSimDemodulatorNode::get_InnerFECRate(BinaryConvolutionCodeRate* rate) {
    if (rate == nullptr) return E_POINTER;
    *rate = m_innerRate;
    return S_OK;
}

HRESULT CSimDemodulatorNode::put_OuterFECMethod(FECMethod method) {
    m_outerMethod = method;
    return S_OK;
}

HRESULT CSimDemodulatorNode::get_OuterFECMethod(FECMethod* method) {
    if (method == nullptr) return E_POINTER;
    *method = m_outerMethod;
    return S_OK;
}

HRESULT CSimDemodulatorNode::put_SymbolRate(ULONG rate) {
    m_pFilter->ChangePending([&](SimTuneRequest& r) { r.symbolRate = rate; });
    return S_OK;
}

HRESULT CSimDemodulatorNode::get_SymbolRate(ULONG* rate) {
    if (rate == nullptr) return E_POINTER;
    *rate = m_pFilter->Pending().symbolRate;
    return S_OK;
}

HRESULT CSimDemodulatorNode::put_SpectralInversion(SpectralInversion inversion) {
    m_inversion = inversion;
    return S_OK;
}

HRESULT CSimDemodulatorNode::get_SpectralInversion(SpectralInversion* inversion) {
    if (inversion == nullptr) return E_POINTER;
    *inversion = m_inversion;
    return S_OK;
}
