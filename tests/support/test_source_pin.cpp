#include "support/test_source_pin.h"

#include <utility>

CTestSourcePin::CTestSourcePin(CTestSourceFilter* filter, CCritSec* lock, AM_MEDIA_TYPE type,
                               std::size_t poolSamples, LONG sampleSize,
                               CTestSourceFilter::Generator generator)
    : CBaseOutputPin(L"Test Source Output", filter, lock, nullptr, L"Output"),
      m_type(std::move(type)),
      m_pool(poolSamples, sampleSize),
      m_generator(std::move(generator)) {}

CTestSourcePin::~CTestSourcePin() {
    // A filter destroyed while active still must not leave a thread running.
    if (m_thread.joinable()) {
        m_bStop = true;
        m_pool.Decommit();
        m_thread.join();
    }
}

HRESULT CTestSourcePin::CheckMediaType(const AM_MEDIA_TYPE* pmt) {
    if (pmt == nullptr) return E_POINTER;
    return *pmt == m_type ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CTestSourcePin::GetMediaType(int position, AM_MEDIA_TYPE* pmt) {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    *pmt = m_type;
    return S_OK;
}

HRESULT CTestSourcePin::Active() {
    if (m_thread.joinable()) return S_OK;
    m_bStop = false;
    m_nDelivered = 0;
    m_hrFailure = S_OK;
    m_pool.Commit();
    m_bStreaming = true;
    m_thread = std::thread([this] { StreamingLoop(); });
    return S_OK;
}

HRESULT CTestSourcePin::Inactive() {
    if (!m_thread.joinable()) return S_OK;
    m_bStop = true;
    m_pool.Decommit();
    if (m_stopObserver) m_stopObserver();
    m_thread.join();
    return S_OK;
}

void CTestSourcePin::StreamingLoop() {
    for (std::uint64_t index = 0; !m_bStop.load(); ++index) {
        ComPtr<IMediaSample> sample = m_pool.GetSample();
        if (!sample) break;
        BYTE* buffer = nullptr;
        sample->GetPointer(&buffer);
        const LONG length = m_generator(buffer, sample->GetSize(), index);
        if (length < 0) {
            DeliverEndOfStream();
            break;
        }
        sample->SetActualDataLength(length);
        const HRESULT hr = Deliver(sample.Get());
        sample = nullptr;
        if (FAILED(hr)) {
            m_hrFailure = hr;
            break;
        }
        m_nDelivered.fetch_add(1);
    }
    m_bStreaming = false;
}
