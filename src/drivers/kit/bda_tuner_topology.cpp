#include "drivers/kit/bda_tuner_topology.h"

CBdaTunerTopology::CBdaTunerTopology(IBaseFilter* filter, IBdaSignalSource* signals)
    : m_tunerNode(filter, &m_pending, signals), m_demodulatorNode(filter, &m_pending) {}

HRESULT CBdaTunerTopology::GetControlNode(ULONG inputPinId, ULONG outputPinId, ULONG nodeType,
                                          IUnknown** node) {
    if (node == nullptr) return E_POINTER;
    *node = nullptr;
    if (inputPinId != 0 || outputPinId != 1) return E_INVALIDARG;
    void** out = reinterpret_cast<void**>(node);
    if (nodeType == kBdaTunerNode)
        return m_tunerNode.NonDelegatingQueryInterface(IUnknown::kIid, out);
    if (nodeType == kBdaDemodulatorNode) {
        return m_demodulatorNode.NonDelegatingQueryInterface(IUnknown::kIid, out);
    }
    return E_INVALIDARG;
}

HRESULT CBdaTunerTopology::GetChangeState(ULONG* state) const {
    if (state == nullptr) return E_POINTER;
    *state = m_pending.IsPending() ? 1 : 0;
    return S_OK;
}
