#include "sink/dest_filter.h"

#include "sink/dump_input_pin.h"
#include "sink/record_file.h"

CDestFilter::CDestFilter(IUnknown* pOuter, RecordState* pRecord, HRESULT* phr)
    : CBaseFilter(nullptr, pOuter, &pRecord->m_RecordLock, CLSID_DestFilter),
      m_pInputPin(new CDumpInputPin(this, pRecord, phr)) {}

CDestFilter::~CDestFilter() = default;

HRESULT CDestFilter::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    return CBaseFilter::NonDelegatingQueryInterface(iid, ppv);
}

CBasePin* CDestFilter::GetPin(int n) {
    return n == 0 ? m_pInputPin : nullptr;
}
