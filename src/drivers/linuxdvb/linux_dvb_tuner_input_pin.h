#pragma once
// The Linux DVB tuner's "Input0" pin, which answers IKsPropertySet with the vendor properties
// (CLinuxDvbPropertyDriver).
#include "drivers/kit/bda_tuner_input_pin.h"
#include "platform/ks/ks_property_set.h"

namespace linuxdvb {

class CLinuxDvbTunerFilter;

class CLinuxDvbTunerInputPin : public CBdaTunerInputPin, public IKsPropertySet {
public:
    CLinuxDvbTunerInputPin(CLinuxDvbTunerFilter* filter, CCritSec* lock);

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;

    HRESULT Set(REFGUID propertySet, DWORD propertyId, void* instanceData, DWORD instanceLength,
                void* propertyData, DWORD dataLength) override;
    HRESULT Get(REFGUID propertySet, DWORD propertyId, void* instanceData, DWORD instanceLength,
                void* propertyData, DWORD dataLength, DWORD* bytesReturned) override;
    HRESULT QuerySupported(REFGUID propertySet, DWORD propertyId, DWORD* typeSupport) override;

private:
    CLinuxDvbTunerFilter* const m_pTuner;
};

}  // namespace linuxdvb
