#include "platform/bda/dvb_tune_request.h"

CDVBTuneRequest::CDVBTuneRequest(ITuningSpace* space) : m_pTuningSpace(space) {}

HRESULT CDVBTuneRequest::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (iid == ITuneRequest::kIid || iid == IDVBTuneRequest::kIid) {
        return GetInterface(static_cast<IDVBTuneRequest*>(this), ppv);
    }
    return CUnknown::NonDelegatingQueryInterface(iid, ppv);
}

HRESULT CDVBTuneRequest::get_TuningSpace(ITuningSpace** space) {
    if (space == nullptr) return E_POINTER;
    return m_pTuningSpace.CopyTo(space);
}

HRESULT CDVBTuneRequest::get_Locator(ILocator** locator) {
    if (locator == nullptr) return E_POINTER;
    const std::lock_guard<std::mutex> lock(m_lock);
    return m_pLocator.CopyTo(locator);
}

HRESULT CDVBTuneRequest::put_Locator(ILocator* locator) {
    const ComPtr<ILocator> keep(locator);
    ComPtr<ILocator> previous;
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        previous = m_pLocator;
        m_pLocator = keep;
    }
    // The old locator is released outside the lock: its last release may run arbitrary code.
    return S_OK;
}

HRESULT CDVBTuneRequest::Clone(ITuneRequest** copy) {
    if (copy == nullptr) return E_POINTER;
    *copy = nullptr;
    ComPtr<ILocator> locator;
    ComPtr<CDVBTuneRequest> twin(new CDVBTuneRequest(m_pTuningSpace.Get()));
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        locator = m_pLocator;
        twin->m_nONID = m_nONID;
        twin->m_nTSID = m_nTSID;
        twin->m_nSID = m_nSID;
    }
    if (locator) {
        ComPtr<ILocator> locatorCopy;
        const HRESULT hr = locator->Clone(locatorCopy.ReleaseAndGetAddressOf());
        if (FAILED(hr)) return hr;
        twin->m_pLocator = locatorCopy;
    }
    *copy = static_cast<IDVBTuneRequest*>(twin.Detach());
    return S_OK;
}

HRESULT CDVBTuneRequest::GetId(const LONG& member, LONG* out) const {
    if (out == nullptr) return E_POINTER;
    const std::lock_guard<std::mutex> lock(m_lock);
    *out = member;
    return S_OK;
}

HRESULT CDVBTuneRequest::PutId(LONG& member, LONG value) {
    const std::lock_guard<std::mutex> lock(m_lock);
    member = value;
    return S_OK;
}

HRESULT CDVBTuneRequest::get_ONID(LONG* id) {
    return GetId(m_nONID, id);
}
HRESULT CDVBTuneRequest::put_ONID(LONG id) {
    return PutId(m_nONID, id);
}
HRESULT CDVBTuneRequest::get_TSID(LONG* id) {
    return GetId(m_nTSID, id);
}
HRESULT CDVBTuneRequest::put_TSID(LONG id) {
    return PutId(m_nTSID, id);
}
HRESULT CDVBTuneRequest::get_SID(LONG* id) {
    return GetId(m_nSID, id);
}
HRESULT CDVBTuneRequest::put_SID(LONG id) {
    return PutId(m_nSID, id);
}
