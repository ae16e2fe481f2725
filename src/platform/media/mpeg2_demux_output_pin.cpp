#include "platform/media/mpeg2_demux_output_pin.h"

#include "platform/media/media_types.h"
#include "platform/media/mpeg2_demux.h"

CMpeg2DemuxOutputPin::CMpeg2DemuxOutputPin(CMpeg2Demux* demux, CCritSec* lock, HRESULT* phr)
    : CBaseOutputPin(L"MPEG-2 Demultiplexer Output", demux, lock, phr, L"Output"),
      m_pDemux(demux) {}

HRESULT CMpeg2DemuxOutputPin::CheckMediaType(const AM_MEDIA_TYPE* pmt) {
    if (pmt == nullptr) return E_POINTER;
    return media::IsTransportStream(*pmt) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CMpeg2DemuxOutputPin::GetMediaType(int position, AM_MEDIA_TYPE* pmt) {
    if (position < 0) return E_INVALIDARG;
    if (pmt == nullptr) return E_POINTER;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    *pmt = media::TransportStreamType();
    return S_OK;
}

HRESULT CMpeg2DemuxOutputPin::Active() {
    m_pDemux->Pool().Commit();
    return CBaseOutputPin::Active();
}

HRESULT CMpeg2DemuxOutputPin::Inactive() {
    m_pDemux->Pool().Decommit();
    return CBaseOutputPin::Inactive();
}
