#include "sink/dest_filter.h"

#include "sink/dump_input_pin.h"

CDestFilter::CDestFilter(IUnknown* pOuter, CCritSec* pLock, HRESULT* phr)
    : CBaseFilter(nullptr, pOuter, pLock, CLSID_DestFilter),
      m_pInputPin(new CDumpInputPin(this, pLock, phr)) {}

CDestFilter::~CDestFilter() = default;

HRESULT CDestFilter::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    return CBaseFilter::NonDelegatingQueryInterface(iid, ppv);
}

CBasePin* CDestFilter::GetPin(int n) {
    return n == 0 ? m_pInputPin : nullptr;
}
