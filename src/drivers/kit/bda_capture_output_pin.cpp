#include "drivers/kit/bda_capture_output_pin.h"

#include "platform/media/media_types.h"

CBdaCaptureOutputPin::CBdaCaptureOutputPin(const wchar_t* objectName, CBaseFilter* filter,
                                           CCritSec* lock)
    : CSourceStreamPin(objectName, filter, lock, kName, kPoolSamples, kSampleBytes,
                       Delivery::WhileRunning) {}

HRESULT CBdaCaptureOutputPin::CheckMediaType(const AM_MEDIA_TYPE* pmt) {
    if (pmt == nullptr) return E_POINTER;
    return media::IsTransportStream(*pmt) ? S_OK : S_FALSE;
}

HRESULT CBdaCaptureOutputPin::GetMediaType(int position, AM_MEDIA_TYPE* pmt) {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    if (pmt == nullptr) return E_POINTER;
    *pmt = media::TransportStreamType();
    return S_OK;
}
