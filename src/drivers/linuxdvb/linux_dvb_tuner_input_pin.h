#pragma once
// The Linux DVB tuner's "Input0" pin: takes the DVB-S network provider's antenna link and no
// samples, and answers IKsPropertySet with the vendor properties (CLinuxDvbPropertyDriver).
#include "platform/ks/ks_property_set.h"
#include "platform/media/base_pin.h"

namespace linuxdvb {

class CLinuxDvbTunerFilter;

class CLinuxDvbTunerInputPin : public CBasePin, public IKsPropertySet {
public:
    static constexpr const wchar_t* kName = L"Input0";

    CLinuxDvbTunerInputPin(CLinuxDvbTunerFilter* filter, CCritSec* lock);

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* pmt) override;

    HRESULT Set(REFGUID propertySet, DWORD propertyId, void* instanceData, DWORD instanceLength,
                void* propertyData, DWORD dataLength) override;
    HRESULT Get(REFGUID propertySet, DWORD propertyId, void* instanceData, DWORD instanceLength,
                void* propertyData, DWORD dataLength, DWORD* bytesReturned) override;
    HRESULT QuerySupported(REFGUID propertySet, DWORD propertyId, DWORD* typeSupport) override;

private:
    CLinuxDvbTunerFilter* const m_pTuner;
};

}  // namespace linuxdvb
