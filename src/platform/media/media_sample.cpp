#include "platform/media/media_sample.h"

CMediaSample::CMediaSample(BYTE* buffer, LONG size, std::size_t index, void* owner,
                           ReturnCallback onReturn)
    : CUnknown(nullptr),
      m_pBuffer(buffer),
      m_lSize(size),
      m_nIndex(index),
      m_pOwner(owner),
      m_pfnReturn(onReturn) {}

HRESULT CMediaSample::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (iid == IMediaSample::kIid) return GetInterface(static_cast<IMediaSample*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(iid, ppv);
}

ULONG CMediaSample::NonDelegatingAddRef() {
    return m_cRef.fetch_add(1, std::memory_order_relaxed) + 1;
}

ULONG CMediaSample::NonDelegatingRelease() {
    // acq_rel: whatever the releasing thread did with the buffer happens before the next user.
    const ULONG remaining = m_cRef.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (remaining == 0) {
        if (m_pfnReturn != nullptr) {
            m_pfnReturn(m_pOwner, this);
        } else {
            delete this;
        }
    }
    return remaining;
}

HRESULT CMediaSample::GetPointer(BYTE** buffer) {
    if (buffer == nullptr) return E_POINTER;
    *buffer = m_pBuffer;
    return S_OK;
}

LONG CMediaSample::GetSize() {
    return m_lSize;
}

LONG CMediaSample::GetActualDataLength() {
    return m_lActual;
}

HRESULT CMediaSample::SetActualDataLength(LONG length) {
    if (length < 0 || length > m_lSize) return E_INVALIDARG;
    m_lActual = length;
    return S_OK;
}
