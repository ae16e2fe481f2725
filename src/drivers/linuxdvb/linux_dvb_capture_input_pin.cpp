#include "drivers/linuxdvb/linux_dvb_capture_input_pin.h"

#include "platform/bda/bda_device_interfaces.h"

namespace linuxdvb {

CLinuxDvbCaptureInputPin::CLinuxDvbCaptureInputPin(CBaseFilter* filter, CCritSec* lock,
                                                   const GUID& medium)
    : CBasePin(L"Linux DVB capture input", filter, lock, nullptr, kName, PINDIR_INPUT),
      m_medium(medium) {}

HRESULT CLinuxDvbCaptureInputPin::CheckMediaType(const AM_MEDIA_TYPE* pmt) {
    if (pmt == nullptr) return E_POINTER;
    return pmt->majortype == KSDATAFORMAT_TYPE_STREAM && pmt->subtype == m_medium ? S_OK : S_FALSE;
}

}  // namespace linuxdvb
