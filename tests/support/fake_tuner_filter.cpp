#include "support/fake_tuner_filter.h"

#include <utility>

#include "platform/com/com_ptr.h"
#include "support/fake_tuner_node.h"

CFakeTunerFilter::CFakeTunerFilter(std::shared_ptr<FakeTunerScript> script)
    : CBaseFilter(L"fake tuner", nullptr, &m_lock, GUID_NULL),
      m_pScript(std::move(script)),
      m_pInput(std::make_unique<CFakeTunerInputPin>(this, &m_lock, m_pScript)) {}

CFakeTunerFilter::~CFakeTunerFilter() = default;

HRESULT CFakeTunerFilter::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (iid == IBDA_Topology::kIid && m_pScript->bTopology) {
        return GetInterface(static_cast<IBDA_Topology*>(this), ppv);
    }
    if (iid == IBDA_DeviceControl::kIid && m_pScript->bDeviceControl) {
        return GetInterface(static_cast<IBDA_DeviceControl*>(this), ppv);
    }
    return CBaseFilter::NonDelegatingQueryInterface(iid, ppv);
}

int CFakeTunerFilter::GetPinCount() {
    return 1;
}

CBasePin* CFakeTunerFilter::GetPin(int n) {
    return n == 0 ? m_pInput.get() : nullptr;
}

HRESULT CFakeTunerFilter::GetControlNode(ULONG inputPinId, ULONG outputPinId, ULONG nodeType,
                                         IUnknown** node) {
    if (node == nullptr) return E_POINTER;
    *node = nullptr;
    // A real tuner has its nodes only on the path from the antenna input to the transport output.
    if (inputPinId != 0 || outputPinId != 1) return E_INVALIDARG;
    const bool present = (nodeType == kBdaTunerNode && m_pScript->bTunerNode) ||
                         (nodeType == kBdaDemodulatorNode && m_pScript->bDemodulatorNode);
    if (!present) return E_INVALIDARG;
    const ComPtr<CFakeTunerNode> made(new CFakeTunerNode(m_pScript, nodeType));
    return made->NonDelegatingQueryInterface(IUnknown::kIid, reinterpret_cast<void**>(node));
}

HRESULT CFakeTunerFilter::StartChanges() {
    return m_pScript->Call("StartChanges");
}
HRESULT CFakeTunerFilter::CheckChanges() {
    return m_pScript->Call("CheckChanges");
}
HRESULT CFakeTunerFilter::CommitChanges() {
    return m_pScript->Call("CommitChanges");
}

HRESULT CFakeTunerFilter::GetChangeState(ULONG* state) {
    if (state == nullptr) return E_POINTER;
    *state = 0;
    return S_OK;
}
