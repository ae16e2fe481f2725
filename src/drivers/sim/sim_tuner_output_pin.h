#pragma once
// The simulated tuner's "MPEG2 Transport" output: the link to the card's capture filter. It
// offers and takes only KSDATAFORMAT_TYPE_STREAM with the card's own medium as subtype, so it
// connects to the capture filter of the same card and nothing else. No samples travel here: the
// capture filter streams what the card's demodulator produces.
#include "platform/media/base_pin.h"

class CSimTunerOutputPin : public CBasePin {
public:
    static constexpr const wchar_t* kName = L"MPEG2 Transport";

    CSimTunerOutputPin(CBaseFilter* filter, CCritSec* lock, const GUID& medium);

    // The type the card's tuner and capture filters connect on.
    static AM_MEDIA_TYPE MediumType(const GUID& medium);

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* pmt) override;

private:
    const GUID m_medium;
};
