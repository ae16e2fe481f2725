#include "drivers/kit/bda_demodulator_node.h"

namespace {

template <typename T>
HRESULT Copy(const T& kept, T* out) {
    if (out == nullptr) return E_POINTER;
    *out = kept;
    return S_OK;
}

}  // namespace

CBdaDemodulatorNode::CBdaDemodulatorNode(IBaseFilter* filter, CBdaPendingTune* pending)
    : CUnknown(nullptr), m_pFilter(filter), m_pPending(pending) {}

HRESULT CBdaDemodulatorNode::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (iid == IBDA_DigitalDemodulator::kIid) {
        return GetInterface(static_cast<IBDA_DigitalDemodulator*>(this), ppv);
    }
    return CUnknown::NonDelegatingQueryInterface(iid, ppv);
}

ULONG CBdaDemodulatorNode::NonDelegatingAddRef() {
    return m_pFilter->AddRef();
}

ULONG CBdaDemodulatorNode::NonDelegatingRelease() {
    return m_pFilter->Release();
}

HRESULT CBdaDemodulatorNode::put_ModulationType(ModulationType modulation) {
    m_modulation = modulation;
    return S_OK;
}

HRESULT CBdaDemodulatorNode::get_ModulationType(ModulationType* modulation) {
    return Copy(m_modulation, modulation);
}

HRESULT CBdaDemodulatorNode::put_InnerFECMethod(FECMethod method) {
    m_innerMethod = method;
    return S_OK;
}

HRESULT CBdaDemodulatorNode::get_InnerFECMethod(FECMethod* method) {
    return Copy(m_innerMethod, method);
}

HRESULT CBdaDemodulatorNode::put_InnerFECRate(BinaryConvolutionCodeRate rate) {
    m_innerRate = rate;
    return S_OK;
}

HRESULT CBdaDemodulatorNode::get_InnerFECRate(BinaryConvolutionCodeRate* rate) {
    return Copy(m_innerRate, rate);
}

HRESULT CBdaDemodulatorNode::put_OuterFECMethod(FECMethod method) {
    m_outerMethod = method;
    return S_OK;
}

HRESULT CBdaDemodulatorNode::get_OuterFECMethod(FECMethod* method) {
    return Copy(m_outerMethod, method);
}

HRESULT CBdaDemodulatorNode::put_SymbolRate(ULONG rate) {
    m_pPending->Change([&](BdaTuneRequest& request) { request.symbolRate = rate; });
    return S_OK;
}

HRESULT CBdaDemodulatorNode::get_SymbolRate(ULONG* rate) {
    return Copy(m_pPending->Current().symbolRate, rate);
}

HRESULT CBdaDemodulatorNode::put_SpectralInversion(SpectralInversion inversion) {
    m_inversion = inversion;
    return S_OK;
}

HRESULT CBdaDemodulatorNode::get_SpectralInversion(SpectralInversion* inversion) {
    return Copy(m_inversion, inversion);
}
