#pragma once
// The demux's input: any MEDIATYPE_Stream (a transport stream preferred and offered).
#include "platform/media/base_input_pin.h"

class CMpeg2Demux;

class CMpeg2DemuxInputPin : public CBaseInputPin {
public:
    CMpeg2DemuxInputPin(CMpeg2Demux* demux, CCritSec* lock, HRESULT* phr);

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* pmt) override;
    HRESULT Inactive() override;

    HRESULT Receive(IMediaSample* sample) override;
    // Never waits: parsing and PSI delivery only.
    HRESULT ReceiveCanBlock() override;
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;
    HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

private:
    CMpeg2Demux* const m_pDemux;
};
