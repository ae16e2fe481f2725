#include "support/fake_signal_statistics.h"

HRESULT CFakeSignalStatistics::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (iid == IBDA_Topology::kIid) return GetInterface(static_cast<IBDA_Topology*>(this), ppv);
    if (iid == IBDA_SignalStatistics::kIid)
        return GetInterface(static_cast<IBDA_SignalStatistics*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(iid, ppv);
}

HRESULT CFakeSignalStatistics::GetControlNode(ULONG inputPinId, ULONG outputPinId, ULONG nodeType,
                                              IUnknown** node) {
    *node = nullptr;
    if (m_bNoNode || inputPinId != 0 || outputPinId != 1 || nodeType != 0) return E_INVALIDARG;
    return GetInterface(static_cast<IUnknown*>(static_cast<IBDA_Topology*>(this)),
                        reinterpret_cast<void**>(node));
}

HRESULT CFakeSignalStatistics::get_SignalStrength(LONG* strength) {
    *strength = m_strength;
    return S_OK;
}

HRESULT CFakeSignalStatistics::get_SignalQuality(LONG* quality) {
    ++m_nPolls;
    if (m_bQualityFails) return E_FAIL;
    *quality = m_quality;
    return S_OK;
}

HRESULT CFakeSignalStatistics::get_SignalPresent(BOOLEAN* present) {
    *present = m_locked ? 1 : 0;
    return S_OK;
}

HRESULT CFakeSignalStatistics::get_SignalLocked(BOOLEAN* locked) {
    *locked = m_locked ? 1 : 0;
    return S_OK;
}
