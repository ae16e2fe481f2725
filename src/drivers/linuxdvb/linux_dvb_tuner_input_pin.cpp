#include "drivers/linuxdvb/linux_dvb_tuner_input_pin.h"

#include "drivers/linuxdvb/linux_dvb_tuner_filter.h"

namespace linuxdvb {

CLinuxDvbTunerInputPin::CLinuxDvbTunerInputPin(CLinuxDvbTunerFilter* filter, CCritSec* lock)
    : CBdaTunerInputPin(L"Linux DVB tuner input", filter, lock), m_pTuner(filter) {}

HRESULT CLinuxDvbTunerInputPin::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (iid == IKsPropertySet::kIid) return GetInterface(static_cast<IKsPropertySet*>(this), ppv);
    return CBdaTunerInputPin::NonDelegatingQueryInterface(iid, ppv);
}

HRESULT CLinuxDvbTunerInputPin::Set(REFGUID propertySet, DWORD propertyId, void* /*instanceData*/,
                                    DWORD /*instanceLength*/, void* propertyData,
                                    DWORD dataLength) {
    return m_pTuner->Driver().Set(CLinuxDvbPropertyDriver::Surface::Pin, propertySet, propertyId,
                                  propertyData, dataLength);
}

HRESULT CLinuxDvbTunerInputPin::Get(REFGUID propertySet, DWORD propertyId, void* /*instanceData*/,
                                    DWORD /*instanceLength*/, void* propertyData, DWORD dataLength,
                                    DWORD* bytesReturned) {
    return m_pTuner->Driver().Get(CLinuxDvbPropertyDriver::Surface::Pin, propertySet, propertyId,
                                  propertyData, dataLength, bytesReturned);
}

HRESULT CLinuxDvbTunerInputPin::QuerySupported(REFGUID propertySet, DWORD propertyId,
                                               DWORD* typeSupport) {
    return m_pTuner->Driver().QuerySupported(CLinuxDvbPropertyDriver::Surface::Pin, propertySet,
                                             propertyId, typeSupport);
}

}  // namespace linuxdvb
