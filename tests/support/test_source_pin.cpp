#include "support/test_source_pin.h"

#include <utility>

CTestSourcePin::CTestSourcePin(CTestSourceFilter* filter, CCritSec* lock, AM_MEDIA_TYPE type,
                               std::size_t poolSamples, LONG sampleSize,
                               CTestSourceFilter::Generator generator)
    : CSourceStreamPin(L"Test Source Output", filter, lock, L"Output", poolSamples, sampleSize,
                       Delivery::WhileActive),
      m_type(std::move(type)),
      m_generator(std::move(generator)) {}

CTestSourcePin::~CTestSourcePin() {
    // A filter destroyed while active still must not leave a thread running.
    Inactive();
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

std::uint64_t CTestSourcePin::SamplesTaken() const {
    const std::uint64_t refused = FAILED(m_hrFailure.load()) ? 1 : 0;
    return SamplesDelivered() - m_nDeliveredBefore.load() - refused;
}

HRESULT CTestSourcePin::OnActive() {
    m_nDeliveredBefore = SamplesDelivered();
    m_hrFailure = S_OK;
    return S_OK;
}

void CTestSourcePin::Wake() {
    if (m_stopObserver) m_stopObserver();
}

void CTestSourcePin::StreamLoop() {
    for (std::uint64_t index = 0; !StopRequested(); ++index) {
        ComPtr<IMediaSample> sample = GetSample();
        if (!sample) break;
        BYTE* buffer = nullptr;
        sample->GetPointer(&buffer);
        const LONG length = m_generator(buffer, sample->GetSize(), index);
        if (length < 0) {
            DeliverEndOfStream();
            break;
        }
        sample->SetActualDataLength(length);
        const HRESULT hr = DeliverSample(sample.Get());
        sample = nullptr;
        if (FAILED(hr)) {
            m_hrFailure = hr;
            break;
        }
    }
}
