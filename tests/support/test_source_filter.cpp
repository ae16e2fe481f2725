#include "support/test_source_filter.h"

#include <utility>

#include "support/test_source_pin.h"

CTestSourceFilter::CTestSourceFilter(AM_MEDIA_TYPE type, std::size_t poolSamples, LONG sampleSize,
                                     Generator generator)
    : CBaseFilter(L"Test Source", nullptr, &m_lock, CLSID_TestSourceFilter) {
    m_pOutput = std::make_unique<CTestSourcePin>(this, &m_lock, std::move(type), poolSamples,
                                                 sampleSize, std::move(generator));
}

CTestSourceFilter::~CTestSourceFilter() = default;

int CTestSourceFilter::GetPinCount() {
    return 1;
}

CBasePin* CTestSourceFilter::GetPin(int n) {
    return n == 0 ? m_pOutput.get() : nullptr;
}

CBaseOutputPin* CTestSourceFilter::OutputPin() const {
    return m_pOutput.get();
}

void CTestSourceFilter::SetStopObserver(std::function<void()> observer) {
    m_pOutput->SetStopObserver(std::move(observer));
}

std::uint64_t CTestSourceFilter::SamplesDelivered() const {
    return m_pOutput->SamplesTaken();
}

HRESULT CTestSourceFilter::DeliverFailure() const {
    return m_pOutput->DeliverFailure();
}

bool CTestSourceFilter::IsStreaming() const {
    return m_pOutput->IsStreaming();
}
