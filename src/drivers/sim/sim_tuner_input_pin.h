#pragma once
// The simulated tuner's "Input0" pin: takes the DVB-S network provider's antenna link
// (KSDATAFORMAT_TYPE_BDA_ANTENNA / CLSID_DVBSNetworkProvider) and no samples. It answers
// IKsPropertySet for the card's pin-level properties (the PCI-E style cards' vendor set).
#include "platform/ks/ks_property_set.h"
#include "platform/media/base_pin.h"

class CSimTunerFilter;

class CSimTunerInputPin : public CBasePin, public IKsPropertySet {
public:
    static constexpr const wchar_t* kName = L"Input0";

    CSimTunerInputPin(CSimTunerFilter* filter, CCritSec* lock);

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* pmt) override;

    HRESULT Set(REFGUID propertySet, DWORD propertyId, void* instanceData, DWORD instanceLength, void* propertyData,
                DWORD dataLength) override;
    HRESULT Get(REFGUID propertySet, DWORD propertyId, void* instanceData, DWORD instanceLength, void* propertyData,
                DWORD dataLength, DWORD* bytesReturned) override;
    HRESULT QuerySupported(REFGUID propertySet, DWORD propertyId, DWORD* typeSupport) override;

private:
    CSimTunerFilter* const m_pTuner;
};
