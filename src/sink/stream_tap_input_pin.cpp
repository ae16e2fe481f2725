#include "sink/stream_tap_input_pin.h"

#include "platform/media/media_types.h"
#include "sink/stream_tap_filter.h"

CStreamTapInputPin::CStreamTapInputPin(CStreamTapFilter* filter, CCritSec* lock, HRESULT* phr)
    : CBaseInputPin(L"Stream Tap Input", filter, lock, phr, L"Input"), m_pTap(filter) {}

HRESULT CStreamTapInputPin::CheckMediaType(const AM_MEDIA_TYPE* pmt) {
    return pmt != nullptr ? S_OK : E_POINTER;
}

HRESULT CStreamTapInputPin::GetMediaType(int position, AM_MEDIA_TYPE* pmt) {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    if (pmt == nullptr) return E_POINTER;
    *pmt = media::TransportStreamType();
    return S_OK;
}

HRESULT CStreamTapInputPin::Receive(IMediaSample* sample) {
    if (sample == nullptr || !m_pTap->HasConsumers()) return S_OK;
    m_pTap->QueueSample(sample);
    return S_OK;
}

HRESULT CStreamTapInputPin::ReceiveCanBlock() {
    return S_FALSE;
}

HRESULT CStreamTapInputPin::Inactive() {
    m_pTap->DiscardQueued();
    return CBaseInputPin::Inactive();
}

HRESULT CStreamTapInputPin::EndFlush() {
    m_pTap->DiscardQueued();
    return CBaseInputPin::EndFlush();
}
