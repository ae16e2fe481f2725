#pragma once
// A tuner filter's "Input0" (CBdaTunerInputPin) with the card's pin-level property set: its
// IKsPropertySet calls reach the filter's property driver as requests of Surface::Pin, and the
// filter may refuse it (Interface::PinPropertySet).
#include "drivers/kit/bda_tuner_input_pin.h"
#include "platform/ks/ks_property_set.h"

class CBdaTunerFilter;

class CBdaTunerPropertyPin : public CBdaTunerInputPin, public IKsPropertySet {
public:
    // `objectName` names the pin in diagnostics.
    CBdaTunerPropertyPin(const wchar_t* objectName, CBdaTunerFilter* filter, CCritSec* lock);

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;

    HRESULT Set(REFGUID propertySet, DWORD propertyId, void* instanceData, DWORD instanceLength,
                void* propertyData, DWORD dataLength) override;
    HRESULT Get(REFGUID propertySet, DWORD propertyId, void* instanceData, DWORD instanceLength,
                void* propertyData, DWORD dataLength, DWORD* bytesReturned) override;
    HRESULT QuerySupported(REFGUID propertySet, DWORD propertyId, DWORD* typeSupport) override;

private:
    CBdaTunerFilter* const m_pTuner;
};
