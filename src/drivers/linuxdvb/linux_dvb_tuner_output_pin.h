#pragma once
// The Linux DVB tuner's "MPEG2 Transport" output: the link to the same card's capture filter.
// It offers and takes only KSDATAFORMAT_TYPE_STREAM with the card's medium as subtype. No
// samples travel here: the capture filter reads the demux itself.
#include "platform/media/base_pin.h"

namespace linuxdvb {

class CLinuxDvbTunerOutputPin : public CBasePin {
public:
    static constexpr const wchar_t* kName = L"MPEG2 Transport";

    CLinuxDvbTunerOutputPin(CBaseFilter* filter, CCritSec* lock, const GUID& medium);

    // The type on which a card's tuner and capture filters connect.
    static AM_MEDIA_TYPE MediumType(const GUID& medium);

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* pmt) override;

private:
    const GUID m_medium;
};

}  // namespace linuxdvb
