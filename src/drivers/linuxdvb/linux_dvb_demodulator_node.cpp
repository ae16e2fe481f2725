#include "drivers/linuxdvb/linux_dvb_demodulator_node.h"

#include "drivers/linuxdvb/linux_dvb_tuner_filter.h"

namespace linuxdvb {

CLinuxDvbDemodulatorNode::CLinuxDvbDemodulatorNode(CLinuxDvbTunerFilter* filter)
    : CUnknown(nullptr), m_pFilter(filter) {}

HRESULT CLinuxDvbDemodulatorNode::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (iid == IBDA_DigitalDemodulator::kIid)
        return GetInterface(static_cast<IBDA_DigitalDemodulator*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(iid, ppv);
}

ULONG CLinuxDvbDemodulatorNode::NonDelegatingAddRef() {
    return static_cast<IBaseFilter*>(m_pFilter)->AddRef();
}

ULONG CLinuxDvbDemodulatorNode::NonDelegatingRelease() {
    return static_cast<IBaseFilter*>(m_pFilter)->Release();
}

HRESULT CLinuxDvbDemodulatorNode::put_ModulationType(ModulationType modulation) {
    m_modulation = modulation;
    return S_OK;
}

HRESULT CLinuxDvbDemodulatorNode::get_ModulationType(ModulationType* modulation) {
    if (modulation == nullptr) return E_POINTER;
    *modulation = m_modulation;
    return S_OK;
}

HRESULT CLinuxDvbDemodulatorNode::put_InnerFECMethod(FECMethod method) {
    m_innerMethod = method;
    return S_OK;
}

HRESULT CLinuxDvbDemodulatorNode::get_InnerFECMethod(FECMethod* method) {
    if (method == nullptr) return E_POINTER;
    *method = m_innerMethod;
    return S_OK;
}

HRESULT CLinuxDvbDemodulatorNode::put_InnerFECRate(BinaryConvolutionCodeRate rate) {
    m_innerRate = rate;
    return S_OK;
}

HRESULT CLinuxDvbDemodulatorNode::get_InnerFECRate(BinaryConvolutionCodeRate* rate) {
    if (rate == nullptr) return E_POINTER;
    *rate = m_innerRate;
    return S_OK;
}

HRESULT CLinuxDvbDemodulatorNode::put_OuterFECMethod(FECMethod method) {
    m_outerMethod = method;
    return S_OK;
}

HRESULT CLinuxDvbDemodulatorNode::get_OuterFECMethod(FECMethod* method) {
    if (method == nullptr) return E_POINTER;
    *method = m_outerMethod;
    return S_OK;
}

HRESULT CLinuxDvbDemodulatorNode::put_SymbolRate(ULONG rate) {
    m_pFilter->ChangePending([&](DvbTuneRequest& r) { r.symbolRate = rate; });
    return S_OK;
}

HRESULT CLinuxDvbDemodulatorNode::get_SymbolRate(ULONG* rate) {
    if (rate == nullptr) return E_POINTER;
    *rate = m_pFilter->Pending().symbolRate;
    return S_OK;
}

HRESULT CLinuxDvbDemodulatorNode::put_SpectralInversion(SpectralInversion inversion) {
    m_inversion = inversion;
    return S_OK;
}

HRESULT CLinuxDvbDemodulatorNode::get_SpectralInversion(SpectralInversion* inversion) {
    if (inversion == nullptr) return E_POINTER;
    *inversion = m_inversion;
    return S_OK;
}

}  // namespace linuxdvb
