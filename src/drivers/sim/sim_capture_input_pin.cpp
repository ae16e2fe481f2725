#include "drivers/sim/sim_capture_input_pin.h"

#include "platform/bda/bda_device_interfaces.h"

CSimCaptureInputPin::CSimCaptureInputPin(CBaseFilter* filter, CCritSec* lock, const GUID& medium)
    : CBasePin(L"simulated capture input", filter, lock, nullptr, kName, PINDIR_INPUT), m_medium(medium) {}

HRESULT CSimCaptureInputPin::CheckMediaType(const AM_MEDIA_TYPE* pmt) {
    if (pmt == nullptr) return E_POINTER;
    return pmt->majortype == KSDATAFORMAT_TYPE_STREAM && pmt->subtype == m_medium ? S_OK : S_FALSE;
}
