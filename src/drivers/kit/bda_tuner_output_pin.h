#pragma once
// A card's tuner "MPEG2 Transport" output: the link to the same card's capture filter. It offers
// and takes only KSDATAFORMAT_TYPE_STREAM with the card's own medium as subtype, so it connects
// to that card's capture filter and nothing else. No samples travel here: the capture filter
// streams what the card's demodulator produces.
#include "platform/media/base_pin.h"

class CBdaTunerOutputPin : public CBasePin {
public:
    static constexpr const wchar_t* kName = L"MPEG2 Transport";

    // `objectName` names the pin in diagnostics.
    CBdaTunerOutputPin(const wchar_t* objectName, CBaseFilter* filter, CCritSec* lock,
                       const GUID& medium);

    // The type on which a card's tuner and capture filters connect.
    static AM_MEDIA_TYPE MediumType(const GUID& medium);

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* pmt) override;

private:
    const GUID m_medium;
};
