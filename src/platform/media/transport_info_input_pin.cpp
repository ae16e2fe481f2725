#include "platform/media/transport_info_input_pin.h"

#include "platform/media/media_types.h"
#include "platform/media/transport_info_filter.h"

CTransportInfoInputPin::CTransportInfoInputPin(CTransportInfoFilter* filter, CCritSec* lock,
                                               HRESULT* phr)
    : CBaseInputPin(L"Transport Information Input", filter, lock, phr, L"Input"), m_pInfo(filter) {}

HRESULT CTransportInfoInputPin::CheckMediaType(const AM_MEDIA_TYPE* pmt) {
    if (pmt == nullptr) return E_POINTER;
    return media::IsTransportStream(*pmt) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CTransportInfoInputPin::GetMediaType(int position, AM_MEDIA_TYPE* pmt) {
    if (position < 0) return E_INVALIDARG;
    if (pmt == nullptr) return E_POINTER;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    *pmt = media::TransportStreamType();
    return S_OK;
}

HRESULT CTransportInfoInputPin::Inactive() {
    m_pInfo->ResetStream();
    return CBaseInputPin::Inactive();
}

HRESULT CTransportInfoInputPin::EndFlush() {
    m_pInfo->ResetStream();
    return CBaseInputPin::EndFlush();
}

HRESULT CTransportInfoInputPin::Receive(IMediaSample* sample) {
    if (sample == nullptr) return E_POINTER;
    const HRESULT hr = CheckStreaming();
    if (hr != S_OK) return hr;
    return m_pInfo->ProcessSample(sample);
}

HRESULT CTransportInfoInputPin::ReceiveCanBlock() {
    return S_FALSE;
}
