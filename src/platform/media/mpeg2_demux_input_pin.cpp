#include "platform/media/mpeg2_demux_input_pin.h"

#include "platform/media/media_types.h"
#include "platform/media/mpeg2_demux.h"
#include "platform/media/mpeg2_demux_output_pin.h"

CMpeg2DemuxInputPin::CMpeg2DemuxInputPin(CMpeg2Demux* demux, CCritSec* lock, HRESULT* phr)
    : CBaseInputPin(L"MPEG-2 Demultiplexer Input", demux, lock, phr, L"Input"), m_pDemux(demux) {}

HRESULT CMpeg2DemuxInputPin::CheckMediaType(const AM_MEDIA_TYPE* pmt) {
    if (pmt == nullptr) return E_POINTER;
    return pmt->majortype == MEDIATYPE_Stream ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CMpeg2DemuxInputPin::GetMediaType(int position, AM_MEDIA_TYPE* pmt) {
    if (position < 0) return E_INVALIDARG;
    if (pmt == nullptr) return E_POINTER;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    *pmt = media::TransportStreamType();
    return S_OK;
}

HRESULT CMpeg2DemuxInputPin::Inactive() {
    m_pDemux->ResetStream();
    return CBaseInputPin::Inactive();
}

HRESULT CMpeg2DemuxInputPin::Receive(IMediaSample* sample) {
    if (sample == nullptr) return E_POINTER;
    const HRESULT hr = CheckStreaming();
    if (hr != S_OK) return hr;
    return m_pDemux->ProcessSample(sample);
}

HRESULT CMpeg2DemuxInputPin::ReceiveCanBlock() {
    return S_FALSE;
}

HRESULT CMpeg2DemuxInputPin::EndOfStream() {
    const HRESULT hr = CBaseInputPin::EndOfStream();
    if (FAILED(hr)) return hr;
    CMpeg2DemuxOutputPin* output = m_pDemux->OutputPin();
    return output->IsConnected() ? output->DeliverEndOfStream() : S_OK;
}

HRESULT CMpeg2DemuxInputPin::BeginFlush() {
    CBaseInputPin::BeginFlush();
    CMpeg2DemuxOutputPin* output = m_pDemux->OutputPin();
    return output->IsConnected() ? output->DeliverBeginFlush() : S_OK;
}

HRESULT CMpeg2DemuxInputPin::EndFlush() {
    // Whatever was cut off by the flush is not continued afterwards.
    m_pDemux->ResetStream();
    CBaseInputPin::EndFlush();
    CMpeg2DemuxOutputPin* output = m_pDemux->OutputPin();
    return output->IsConnected() ? output->DeliverEndFlush() : S_OK;
}

HRESULT CMpeg2DemuxInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    CBaseInputPin::NewSegment(start, stop, rate);
    CMpeg2DemuxOutputPin* output = m_pDemux->OutputPin();
    return output->IsConnected() ? output->DeliverNewSegment(start, stop, rate) : S_OK;
}
