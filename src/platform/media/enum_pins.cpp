#include "platform/media/enum_pins.h"

#include "platform/media/base_filter.h"
#include "platform/media/base_pin.h"

CEnumPins::CEnumPins(CBaseFilter* filter, int position)
    : m_pFilter(filter), m_pFilterRef(filter), m_nPosition(position) {}

HRESULT CEnumPins::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (iid == IEnumPins::kIid) return GetInterface(static_cast<IEnumPins*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(iid, ppv);
}

HRESULT CEnumPins::Next(ULONG count, IPin** pins, ULONG* fetched) {
    if (pins == nullptr) return E_POINTER;
    if (fetched == nullptr && count > 1) return E_POINTER;
    CAutoLock lock(*m_pFilter->StateLock());
    ULONG n = 0;
    while (n < count) {
        CBasePin* pin = m_pFilter->GetPin(m_nPosition);
        if (pin == nullptr) break;
        ++m_nPosition;
        pins[n] = pin;
        pin->AddRef();
        ++n;
    }
    if (fetched != nullptr) *fetched = n;
    return n == count ? S_OK : S_FALSE;
}

HRESULT CEnumPins::Skip(ULONG count) {
    CAutoLock lock(*m_pFilter->StateLock());
    const int left = m_pFilter->GetPinCount() - m_nPosition;
    if (left < 0 || count > static_cast<ULONG>(left)) {
        m_nPosition = m_pFilter->GetPinCount();
        return S_FALSE;
    }
    m_nPosition += static_cast<int>(count);
    return S_OK;
}

HRESULT CEnumPins::Reset() {
    m_nPosition = 0;
    return S_OK;
}
