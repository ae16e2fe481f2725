#include "platform/media/enum_media_types.h"

#include "platform/media/base_pin.h"

CEnumMediaTypes::CEnumMediaTypes(CBasePin* pin) : m_pPin(pin), m_pPinRef(pin) {}

HRESULT CEnumMediaTypes::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (iid == IEnumMediaTypes::kIid) return GetInterface(static_cast<IEnumMediaTypes*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(iid, ppv);
}

HRESULT CEnumMediaTypes::Next(ULONG count, AM_MEDIA_TYPE* types, ULONG* fetched) {
    if (types == nullptr) return E_POINTER;
    if (fetched == nullptr && count > 1) return E_POINTER;
    ULONG n = 0;
    while (n < count) {
        AM_MEDIA_TYPE mt;
        if (m_pPin->GetMediaType(m_nPosition, &mt) != S_OK) break;
        ++m_nPosition;
        types[n++] = std::move(mt);
    }
    if (fetched != nullptr) *fetched = n;
    return n == count ? S_OK : S_FALSE;
}

HRESULT CEnumMediaTypes::Skip(ULONG count) {
    while (count > 0) {
        AM_MEDIA_TYPE mt;
        if (m_pPin->GetMediaType(m_nPosition, &mt) != S_OK) return S_FALSE;
        ++m_nPosition;
        --count;
    }
    return S_OK;
}

HRESULT CEnumMediaTypes::Reset() {
    m_nPosition = 0;
    return S_OK;
}
