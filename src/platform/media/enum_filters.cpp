#include "platform/media/enum_filters.h"

#include <utility>

CEnumFilters::CEnumFilters(std::vector<ComPtr<IBaseFilter>> filters)
    : m_filters(std::move(filters)) {}

HRESULT CEnumFilters::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (iid == IEnumFilters::kIid) return GetInterface(static_cast<IEnumFilters*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(iid, ppv);
}

HRESULT CEnumFilters::Next(ULONG count, IBaseFilter** filters, ULONG* fetched) {
    if (filters == nullptr) return E_POINTER;
    if (fetched == nullptr && count > 1) return E_POINTER;
    ULONG n = 0;
    while (n < count && m_nPosition < m_filters.size()) {
        m_filters[m_nPosition++].CopyTo(&filters[n++]);
    }
    if (fetched != nullptr) *fetched = n;
    return n == count ? S_OK : S_FALSE;
}

HRESULT CEnumFilters::Skip(ULONG count) {
    const std::size_t left = m_filters.size() - m_nPosition;
    if (count > left) {
        m_nPosition = m_filters.size();
        return S_FALSE;
    }
    m_nPosition += count;
    return S_OK;
}

HRESULT CEnumFilters::Reset() {
    m_nPosition = 0;
    return S_OK;
}
