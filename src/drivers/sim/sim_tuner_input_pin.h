#pragma once
// The simulated tuner's "Input0" pin, which answers IKsPropertySet for the card's pin-level
// properties (the PCI-E style cards' vendor set).
#include "drivers/kit/bda_tuner_input_pin.h"
#include "platform/ks/ks_property_set.h"

class CSimTunerFilter;

class CSimTunerInputPin : public CBdaTunerInputPin, public IKsPropertySet {
public:
    CSimTunerInputPin(CSimTunerFilter* filter, CCritSec* lock);

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;

    HRESULT Set(REFGUID propertySet, DWORD propertyId, void* instanceData, DWORD instanceLength, void* propertyData,
                DWORD dataLength) override;
    HRESULT Get(REFGUID propertySet, DWORD propertyId, void* instanceData, DWORD instanceLength, void* propertyData,
                DWORD dataLength, DWORD* bytesReturned) override;
    HRESULT QuerySupported(REFGUID propertySet, DWORD propertyId, DWORD* typeSupport) override;

private:
    CSimTunerFilter* const m_pTuner;
};
