#pragma once
// A card's capture filter input "MPEG2 Transport": takes only KSDATAFORMAT_TYPE_STREAM with its
// card's medium as subtype, so a tuner joins only the capture filter of its own card. It offers
// no type of its own and takes no samples: the capture filter streams from the card itself.
#include "platform/media/base_pin.h"

class CBdaCaptureInputPin : public CBasePin {
public:
    static constexpr const wchar_t* kName = L"MPEG2 Transport";

    // `objectName` names the pin in diagnostics.
    CBdaCaptureInputPin(const wchar_t* objectName, CBaseFilter* filter, CCritSec* lock,
                        const GUID& medium);

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override;

private:
    const GUID m_medium;
};
