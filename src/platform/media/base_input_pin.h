#pragma once
// The base of input pins (DirectShow's CBaseInputPin): it takes samples through IMemInputPin and
// the stream notifications. Receive runs on the upstream filter's streaming thread and takes no
// lock here; a pin that needs one (a sink writing a file) takes its own in its Receive.
#include <atomic>

#include "platform/media/base_pin.h"

class CBaseInputPin : public CBasePin, public IMemInputPin, public IQualityControl {
public:
    CBaseInputPin(const wchar_t* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr,
                  const wchar_t* pinName);

    DECLARE_IUNKNOWN
    // IPin, IMemInputPin and IQualityControl.
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;

    // IMemInputPin. The default Receive only checks that streaming is allowed.
    HRESULT Receive(IMediaSample* sample) override;
    // Calls Receive for each sample in order, stopping at the first result other than S_OK.
    HRESULT ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) override;
    HRESULT ReceiveCanBlock() override;

    // IQualityControl
    HRESULT Notify(IBaseFilter* self, long quality) override;
    HRESULT SetSink(IQualityControl* sink) override;

    // IPin stream notifications: BeginFlush sets the flushing flag (Receive then answers S_FALSE),
    // EndFlush clears it; EndOfStream checks the state; NewSegment stores the segment.
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;
    HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    // Leaving Paused for Stopped ends a flush.
    HRESULT Inactive() override;

    bool IsFlushing() const { return m_bFlushing.load(std::memory_order_acquire); }

protected:
    // S_OK when a sample may be taken; VFW_E_NOT_CONNECTED, VFW_E_WRONG_STATE when the filter is
    // stopped, S_FALSE while flushing.
    HRESULT CheckStreaming();

private:
    std::atomic<bool> m_bFlushing{false};
};
