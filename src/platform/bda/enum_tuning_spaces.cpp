#include "platform/bda/enum_tuning_spaces.h"

#include <utility>

CEnumTuningSpaces::CEnumTuningSpaces(std::vector<ComPtr<ITuningSpace>> spaces)
    : m_spaces(std::move(spaces)) {}

HRESULT CEnumTuningSpaces::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (iid == IEnumTuningSpaces::kIid) {
        return GetInterface(static_cast<IEnumTuningSpaces*>(this), ppv);
    }
    return CUnknown::NonDelegatingQueryInterface(iid, ppv);
}

HRESULT CEnumTuningSpaces::Next(ULONG count, ITuningSpace** spaces, ULONG* fetched) {
    if (spaces == nullptr) return E_POINTER;
    // Several at once need the count back, or the caller could not tell how many it got.
    if (count > 1 && fetched == nullptr) return E_POINTER;
    ULONG n = 0;
    while (n < count && m_nPosition < m_spaces.size()) {
        m_spaces[m_nPosition++].CopyTo(&spaces[n++]);
    }
    if (fetched != nullptr) *fetched = n;
    return n == count ? S_OK : S_FALSE;
}

HRESULT CEnumTuningSpaces::Skip(ULONG count) {
    const std::size_t left = m_spaces.size() - m_nPosition;
    if (count > left) {
        m_nPosition = m_spaces.size();
        return S_FALSE;
    }
    m_nPosition += count;
    return S_OK;
}

HRESULT CEnumTuningSpaces::Reset() {
    m_nPosition = 0;
    return S_OK;
}
