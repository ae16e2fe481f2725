#pragma once
// A sink filter for tests of the media graph: one input pin "Input" that takes every media type
// and records what arrives (see CTestSinkPin). Its state lock is given by the test, so a test can
// share it with its receive path as the recording sink does.
#include <memory>

#include "platform/media/base_filter.h"
#include "platform/media/crit_sec.h"

class CTestSinkPin;

inline constexpr CLSID CLSID_TestSinkFilter =
    com::MakeGuid("{7E570000-0000-4000-8000-00000000A002}");

class CTestSinkFilter : public CBaseFilter {
public:
    // Keeps the buffer pointer and length of the first `recordCapacity` samples.
    explicit CTestSinkFilter(CCritSec* lock, std::size_t recordCapacity = 1024);
    ~CTestSinkFilter() override;

    int GetPinCount() override;
    CBasePin* GetPin(int n) override;
    CTestSinkPin* InputPin() const { return m_pInput.get(); }

private:
    std::unique_ptr<CTestSinkPin> m_pInput;
};
