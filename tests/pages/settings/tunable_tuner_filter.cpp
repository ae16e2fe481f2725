#include "pages/settings/tunable_tuner_filter.h"

#include <utility>

#include "support/fake_tuner_node.h"

CTunableTunerFilter::CTunableTunerFilter(std::vector<FakePinShape> pins,
                                         std::shared_ptr<FakeTunerScript> script)
    : CFakeFilter(std::move(pins)), m_pScript(std::move(script)) {}

HRESULT CTunableTunerFilter::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (iid == IBDA_Topology::kIid) return GetInterface(static_cast<IBDA_Topology*>(this), ppv);
    if (iid == IBDA_DeviceControl::kIid)
        return GetInterface(static_cast<IBDA_DeviceControl*>(this), ppv);
    return CFakeFilter::NonDelegatingQueryInterface(iid, ppv);
}

HRESULT CTunableTunerFilter::GetControlNode(ULONG inputPinId, ULONG outputPinId, ULONG nodeType,
                                            IUnknown** node) {
    if (node == nullptr) return E_POINTER;
    *node = nullptr;
    if (inputPinId != 0 || outputPinId != 1) return E_INVALIDARG;
    if (nodeType != kBdaTunerNode && nodeType != kBdaDemodulatorNode) return E_INVALIDARG;
    const ComPtr<CFakeTunerNode> made(new CFakeTunerNode(m_pScript, nodeType, m_pSignal.Get()));
    return made->NonDelegatingQueryInterface(IUnknown::kIid, reinterpret_cast<void**>(node));
}

HRESULT CTunableTunerFilter::StartChanges() {
    return m_pScript->Call("StartChanges");
}
HRESULT CTunableTunerFilter::CheckChanges() {
    return m_pScript->Call("CheckChanges");
}
HRESULT CTunableTunerFilter::CommitChanges() {
    return m_pScript->Call("CommitChanges");
}

HRESULT CTunableTunerFilter::GetChangeState(ULONG* state) {
    if (state == nullptr) return E_POINTER;
    *state = 0;
    return S_OK;
}
