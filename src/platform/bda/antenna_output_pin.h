#pragma once
// The network provider's "Antenna Out" pin. It offers and accepts one media type: the BDA
// antenna major type with the provider's class as subtype, so it connects only to a tuner
// input pin made for that kind of network.
#include "platform/media/base_output_pin.h"

class CAntennaOutputPin : public CBaseOutputPin {
public:
    static constexpr const wchar_t* kName = L"Antenna Out";

    // `networkType` is the subtype: the class identifier of the owning network provider.
    CAntennaOutputPin(CBaseFilter* filter, CCritSec* lock, REFCLSID networkType);

    // The one type this pin offers and takes.
    static AM_MEDIA_TYPE AntennaType(REFCLSID networkType);

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* pmt) override;
    // No samples travel over the antenna link, so a tuner pin without IMemInputPin will do.
    HRESULT CompleteConnect(IPin* receivePin) override;

private:
    const CLSID m_guidNetworkType;
};
