#pragma once
// The tap's input: it takes whatever the tee offers (a transport stream) and never blocks.
#include "platform/media/base_input_pin.h"

class CStreamTapFilter;

class CStreamTapInputPin : public CBaseInputPin {
public:
    CStreamTapInputPin(CStreamTapFilter* filter, CCritSec* lock, HRESULT* phr);

    // Every type is accepted.
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override;
    // Position 0: a transport stream; E_INVALIDARG below, VFW_S_NO_MORE_ITEMS above.
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* pmt) override;

    // Always S_OK: a tap must not disturb the tee's other outputs (the recording).
    HRESULT Receive(IMediaSample* sample) override;
    HRESULT ReceiveCanBlock() override;
    // A stop or a flush ends the stream: what is queued goes.
    HRESULT Inactive() override;
    HRESULT EndFlush() override;

private:
    CStreamTapFilter* const m_pTap;
};
