#include "drivers/linuxdvb/linux_dvb_tuner_input_pin.h"

#include "drivers/linuxdvb/linux_dvb_tuner_filter.h"
#include "platform/bda/bda_device_interfaces.h"
#include "platform/bda/tuning_interfaces.h"

namespace linuxdvb {

CLinuxDvbTunerInputPin::CLinuxDvbTunerInputPin(CLinuxDvbTunerFilter* filter, CCritSec* lock)
    : CBasePin(L"Linux DVB tuner input", filter, lock, nullptr, kName, PINDIR_INPUT),
      m_pTuner(filter) {}

HRESULT CLinuxDvbTunerInputPin::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (iid == IKsPropertySet::kIid) return GetInterface(static_cast<IKsPropertySet*>(this), ppv);
    return CBasePin::NonDelegatingQueryInterface(iid, ppv);
}

HRESULT CLinuxDvbTunerInputPin::CheckMediaType(const AM_MEDIA_TYPE* pmt) {
    if (pmt == nullptr) return E_POINTER;
    return pmt->majortype == KSDATAFORMAT_TYPE_BDA_ANTENNA &&
                   pmt->subtype == CLSID_DVBSNetworkProvider
               ? S_OK
               : S_FALSE;
}

HRESULT CLinuxDvbTunerInputPin::GetMediaType(int position, AM_MEDIA_TYPE* pmt) {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    if (pmt == nullptr) return E_POINTER;
    *pmt = AM_MEDIA_TYPE{};
    pmt->majortype = KSDATAFORMAT_TYPE_BDA_ANTENNA;
    pmt->subtype = CLSID_DVBSNetworkProvider;
    return S_OK;
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
