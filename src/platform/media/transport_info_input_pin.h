#pragma once
// The transport information filter's input: a transport stream
// (MEDIATYPE_Stream / MEDIASUBTYPE_MPEG2_TRANSPORT).
#include "platform/media/base_input_pin.h"

class CTransportInfoFilter;

class CTransportInfoInputPin : public CBaseInputPin {
public:
    CTransportInfoInputPin(CTransportInfoFilter* filter, CCritSec* lock, HRESULT* phr);

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* pmt) override;
    HRESULT Inactive() override;
    HRESULT EndFlush() override;

    HRESULT Receive(IMediaSample* sample) override;
    HRESULT ReceiveCanBlock() override;

private:
    CTransportInfoFilter* const m_pInfo;
};
