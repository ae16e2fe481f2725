#include "platform/com/unknown_base.h"

CUnknown::CUnknown(IUnknown* pOuter) : m_pOuter(pOuter) {}

HRESULT CUnknown::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (iid == IID_IUnknown) return GetInterface(static_cast<IUnknown*>(&m_inner), ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CUnknown::NonDelegatingAddRef() {
    return ++m_cRef;
}

ULONG CUnknown::NonDelegatingRelease() {
    const ULONG remaining = --m_cRef;
    if (remaining == 0) delete this;
    return remaining;
}
