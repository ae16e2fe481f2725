#pragma once
// The demux's output of PSI packets: MEDIATYPE_Stream / MEDIASUBTYPE_MPEG2_TRANSPORT only.
#include "platform/media/base_output_pin.h"

class CMpeg2Demux;

class CMpeg2DemuxOutputPin : public CBaseOutputPin {
public:
    CMpeg2DemuxOutputPin(CMpeg2Demux* demux, CCritSec* lock, HRESULT* phr);

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* pmt) override;
    // The pool hands out samples while the filter is active.
    HRESULT Active() override;
    HRESULT Inactive() override;

private:
    CMpeg2Demux* const m_pDemux;
};
