#pragma once
// The tee's input pin: takes any type (while outputs are connected, only theirs) and passes
// samples and stream notifications on to the tee's outputs.
#include "platform/media/base_input_pin.h"

class CInfTee;

class CInfTeeInputPin : public CBaseInputPin {
public:
    CInfTeeInputPin(CInfTee* tee, CCritSec* lock, HRESULT* phr);

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override;

    HRESULT Receive(IMediaSample* sample) override;
    HRESULT ReceiveCanBlock() override;
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;
    HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

private:
    CInfTee* const m_pTee;
};
