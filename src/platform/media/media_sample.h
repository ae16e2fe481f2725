#pragma once
// A media sample over a buffer that someone else owns (normally a CSamplePool). Its reference
// count is its own: when the last reference goes, the sample is handed back through the callback
// instead of being destroyed; without a callback it destroys itself.
#include <atomic>
#include <cstddef>

#include "platform/com/unknown_base.h"
#include "platform/media/media_interfaces.h"

class CMediaSample final : public CUnknown, public IMediaSample {
public:
    // A plain function pointer, so handing a sample back allocates nothing.
    using ReturnCallback = void (*)(void* owner, CMediaSample* sample);

    CMediaSample(BYTE* buffer, LONG size, std::size_t index, void* owner, ReturnCallback onReturn);

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;
    ULONG NonDelegatingAddRef() override;
    ULONG NonDelegatingRelease() override;

    // IMediaSample
    HRESULT GetPointer(BYTE** buffer) override;
    LONG GetSize() override;
    LONG GetActualDataLength() override;
    // E_INVALIDARG beyond the buffer's size or below 0.
    HRESULT SetActualDataLength(LONG length) override;

    // Position of the sample in its pool.
    std::size_t Index() const { return m_nIndex; }
    // Prepares a free sample for its next user: no data yet.
    void Recycle() { m_lActual = 0; }

private:
    BYTE* const m_pBuffer;
    const LONG m_lSize;
    LONG m_lActual = 0;
    const std::size_t m_nIndex;
    void* const m_pOwner;
    const ReturnCallback m_pfnReturn;
    std::atomic<ULONG> m_cRef{0};
};
