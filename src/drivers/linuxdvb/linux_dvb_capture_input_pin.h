#pragma once
// The Linux DVB capture filter's input "MPEG2 Transport": takes only KSDATAFORMAT_TYPE_STREAM
// with its card's medium as subtype, so a tuner joins only the capture filter of its own card.
#include "platform/media/base_pin.h"

namespace linuxdvb {

class CLinuxDvbCaptureInputPin : public CBasePin {
public:
    static constexpr const wchar_t* kName = L"MPEG2 Transport";

    CLinuxDvbCaptureInputPin(CBaseFilter* filter, CCritSec* lock, const GUID& medium);

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override;

private:
    const GUID m_medium;
};

}  // namespace linuxdvb
