#pragma once
// A card's tuner "Input0" pin: takes the DVB-S network provider's antenna link
// (KSDATAFORMAT_TYPE_BDA_ANTENNA / CLSID_DVBSNetworkProvider) and no samples. Each driver adds
// the pin-level property set of its card.
#include "platform/media/base_pin.h"

class CBdaTunerInputPin : public CBasePin {
public:
    static constexpr const wchar_t* kName = L"Input0";

    // `objectName` names the pin in diagnostics.
    CBdaTunerInputPin(const wchar_t* objectName, CBaseFilter* filter, CCritSec* lock);

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* pmt) override;
};
