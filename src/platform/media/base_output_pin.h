#pragma once
// The base of output pins (DirectShow's CBaseOutputPin without allocator negotiation: each
// filter hands out samples of its own pool). Deliver calls the partner's IMemInputPin directly,
// with no lock and no reference counting of its own, so it costs one virtual call per sample.
#include "platform/media/base_pin.h"

class CBaseOutputPin : public CBasePin {
public:
    CBaseOutputPin(const wchar_t* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr,
                   const wchar_t* pinName);

    // Takes the partner's IMemInputPin (E_NOINTERFACE when it has none). A subclass that
    // overrides it calls this first.
    HRESULT CompleteConnect(IPin* receivePin) override;
    // Drops the partner's IMemInputPin. A subclass that overrides it calls this too.
    HRESULT BreakConnect() override;

    // On the streaming thread: the partner's Receive, or VFW_E_NOT_CONNECTED.
    HRESULT Deliver(IMediaSample* sample);
    // Forward to the partner pin (VFW_E_NOT_CONNECTED when free).
    HRESULT DeliverEndOfStream();
    HRESULT DeliverBeginFlush();
    HRESULT DeliverEndFlush();
    HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

protected:
    // Set and cleared only while the filter is stopped, so the streaming thread reads it freely.
    ComPtr<IMemInputPin> m_pInputPin;
};
