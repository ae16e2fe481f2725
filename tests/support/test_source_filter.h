#pragma once
// A source filter for tests of the media graph: one output pin "Output" and a streaming thread
// of its own (started when the filter becomes active, joined in its Stop), which fills samples
// of its own pool through a caller-given generator and delivers them, as a capture filter does.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/media/base_filter.h"
#include "platform/media/base_output_pin.h"
#include "platform/media/crit_sec.h"
#include "platform/media/media_interfaces.h"

class CTestSourcePin;

inline constexpr CLSID CLSID_TestSourceFilter =
    com::MakeGuid("{7E570000-0000-4000-8000-00000000A001}");

class CTestSourceFilter : public CBaseFilter {
public:
    // Fills `buffer` (`size` bytes) for sample number `index` (from 0 at each start) and returns
    // the data length; a negative value ends the stream (EndOfStream is delivered). Called on
    // the streaming thread.
    using Generator = std::function<LONG(BYTE* buffer, LONG size, std::uint64_t index)>;

    CTestSourceFilter(AM_MEDIA_TYPE type, std::size_t poolSamples, LONG sampleSize,
                      Generator generator);
    ~CTestSourceFilter() override;

    int GetPinCount() override;
    CBasePin* GetPin(int n) override;
    CBaseOutputPin* OutputPin() const;

    // Called on the stopping thread after the streaming thread was told to stop and before it
    // is joined (tests use it to observe Stop waiting for the thread).
    void SetStopObserver(std::function<void()> observer);

    std::uint64_t SamplesDelivered() const;
    // The first failure Deliver returned (the thread ends on it), or S_OK.
    HRESULT DeliverFailure() const;
    // True from the thread's start until it has left its loop.
    bool IsStreaming() const;

private:
    CCritSec m_lock;
    std::unique_ptr<CTestSourcePin> m_pOutput;
};
