#include "drivers/kit/bda_capture_input_pin.h"

#include "platform/bda/bda_device_interfaces.h"

CBdaCaptureInputPin::CBdaCaptureInputPin(const wchar_t* objectName, CBaseFilter* filter,
                                         CCritSec* lock, const GUID& medium)
    : CBasePin(objectName, filter, lock, nullptr, kName, PINDIR_INPUT), m_medium(medium) {}

HRESULT CBdaCaptureInputPin::CheckMediaType(const AM_MEDIA_TYPE* pmt) {
    if (pmt == nullptr) return E_POINTER;
    return pmt->majortype == KSDATAFORMAT_TYPE_STREAM && pmt->subtype == m_medium ? S_OK : S_FALSE;
}
