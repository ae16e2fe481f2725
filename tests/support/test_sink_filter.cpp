#include "support/test_sink_filter.h"

#include "support/test_sink_pin.h"

CTestSinkFilter::CTestSinkFilter(CCritSec* lock, std::size_t recordCapacity)
    : CBaseFilter(L"Test Sink", nullptr, lock, CLSID_TestSinkFilter),
      m_pInput(std::make_unique<CTestSinkPin>(this, lock, recordCapacity)) {}

CTestSinkFilter::~CTestSinkFilter() = default;

int CTestSinkFilter::GetPinCount() {
    return 1;
}

CBasePin* CTestSinkFilter::GetPin(int n) {
    return n == 0 ? m_pInput.get() : nullptr;
}
