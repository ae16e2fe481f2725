#include "drivers/kit/bda_tuner_property_pin.h"

#include "drivers/kit/bda_tuner_filter.h"

CBdaTunerPropertyPin::CBdaTunerPropertyPin(const wchar_t* objectName, CBdaTunerFilter* filter,
                                           CCritSec* lock)
    : CBdaTunerInputPin(objectName, filter, lock), m_pTuner(filter) {}

HRESULT CBdaTunerPropertyPin::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (iid == IKsPropertySet::kIid) {
        if (m_pTuner->Refuses(CBdaTunerFilter::Interface::PinPropertySet)) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        return GetInterface(static_cast<IKsPropertySet*>(this), ppv);
    }
    return CBdaTunerInputPin::NonDelegatingQueryInterface(iid, ppv);
}

HRESULT CBdaTunerPropertyPin::Set(REFGUID propertySet, DWORD propertyId, void* instanceData,
                                  DWORD instanceLength, void* propertyData, DWORD dataLength) {
    return m_pTuner->SetOn(CBdaTunerFilter::Surface::Pin, propertySet, propertyId, instanceData,
                           instanceLength, propertyData, dataLength);
}

HRESULT CBdaTunerPropertyPin::Get(REFGUID propertySet, DWORD propertyId, void* instanceData,
                                  DWORD instanceLength, void* propertyData, DWORD dataLength,
                                  DWORD* bytesReturned) {
    return m_pTuner->GetOn(CBdaTunerFilter::Surface::Pin, propertySet, propertyId, instanceData,
                           instanceLength, propertyData, dataLength, bytesReturned);
}

HRESULT CBdaTunerPropertyPin::QuerySupported(REFGUID propertySet, DWORD propertyId,
                                             DWORD* typeSupport) {
    return m_pTuner->QuerySupportedOn(CBdaTunerFilter::Surface::Pin, propertySet, propertyId,
                                      typeSupport);
}
