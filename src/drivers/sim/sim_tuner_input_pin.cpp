#include "drivers/sim/sim_tuner_input_pin.h"

#include "drivers/sim/sim_property_driver.h"
#include "drivers/sim/sim_tuner_filter.h"
#include "platform/bda/bda_device_interfaces.h"
#include "platform/bda/tuning_interfaces.h"

CSimTunerInputPin::CSimTunerInputPin(CSimTunerFilter* filter, CCritSec* lock)
    : CBasePin(L"simulated tuner input", filter, lock, nullptr, kName, PINDIR_INPUT), m_pTuner(filter) {}

HRESULT CSimTunerInputPin::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (iid == IKsPropertySet::kIid) {
        if (m_pTuner->Card().Faults().IsRefused(CSimFaults::Interface::PinPropertySet)) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        return GetInterface(static_cast<IKsPropertySet*>(this), ppv);
    }
    return CBasePin::NonDelegatingQueryInterface(iid, ppv);
}

HRESULT CSimTunerInputPin::CheckMediaType(const AM_MEDIA_TYPE* pmt) {
    if (pmt == nullptr) return E_POINTER;
    return pmt->majortype == KSDATAFORMAT_TYPE_BDA_ANTENNA && pmt->subtype == CLSID_DVBSNetworkProvider ? S_OK
                                                                                                        : S_FALSE;
}

HRESULT CSimTunerInputPin::GetMediaType(int position, AM_MEDIA_TYPE* pmt) {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    if (pmt == nullptr) return E_POINTER;
    *pmt = AM_MEDIA_TYPE{};
    pmt->majortype = KSDATAFORMAT_TYPE_BDA_ANTENNA;
    pmt->subtype = CLSID_DVBSNetworkProvider;
    return S_OK;
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
