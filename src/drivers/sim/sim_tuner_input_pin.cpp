#include "drivers/sim/sim_tuner_input_pin.h"

#include "drivers/sim/sim_property_driver.h"
#include "drivers/sim/sim_tuner_filter.h"

CSimTunerInputPin::CSimTunerInputPin(CSimTunerFilter* filter, CCritSec* lock)
    : CBdaTunerInputPin(L"simulated tuner input", filter, lock), m_pTuner(filter) {}

HRESULT CSimTunerInputPin::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (iid == IKsPropertySet::kIid) {
        if (m_pTuner->Card().Faults().IsRefused(CSimFaults::Interface::PinPropertySet)) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        return GetInterface(static_cast<IKsPropertySet*>(this), ppv);
    }
    return CBdaTunerInputPin::NonDelegatingQueryInterface(iid, ppv);
}

HRESULT CSimTunerInputPin::Set(REFGUID propertySet, DWORD propertyId, void* instanceData, DWORD instanceLength,
                               void* propertyData, DWORD dataLength) {
    return m_pTuner->Card().Driver().Set(CSimPropertyDriver::Surface::Pin, propertySet, propertyId, instanceData,
                                         instanceLength, propertyData, dataLength);
}

HRESULT CSimTunerInputPin::Get(REFGUID propertySet, DWORD propertyId, void* instanceData, DWORD instanceLength,
                               void* propertyData, DWORD dataLength, DWORD* bytesReturned) {
    return m_pTuner->Card().Driver().Get(CSimPropertyDriver::Surface::Pin, propertySet, propertyId, instanceData,
                                         instanceLength, propertyData, dataLength, bytesReturned);
}

HRESULT CSimTunerInputPin::QuerySupported(REFGUID propertySet, DWORD propertyId, DWORD* typeSupport) {
    return m_pTuner->Card().Driver().QuerySupported(CSimPropertyDriver::Surface::Pin, propertySet, propertyId,
                                                    typeSupport);
}
