#include "drivers/kit/bda_tuner_input_pin.h"

#include "platform/bda/antenna_output_pin.h"
#include "platform/bda/bda_device_interfaces.h"
#include "platform/bda/tuning_interfaces.h"

CBdaTunerInputPin::CBdaTunerInputPin(const wchar_t* objectName, CBaseFilter* filter, CCritSec* lock)
    : CBasePin(objectName, filter, lock, nullptr, kName, PINDIR_INPUT) {}

HRESULT CBdaTunerInputPin::CheckMediaType(const AM_MEDIA_TYPE* pmt) {
    if (pmt == nullptr) return E_POINTER;
    return pmt->majortype == KSDATAFORMAT_TYPE_BDA_ANTENNA &&
                   pmt->subtype == CLSID_DVBSNetworkProvider
               ? S_OK
               : S_FALSE;
}

HRESULT CBdaTunerInputPin::GetMediaType(int position, AM_MEDIA_TYPE* pmt) {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    if (pmt == nullptr) return E_POINTER;
    *pmt = CAntennaOutputPin::AntennaType(CLSID_DVBSNetworkProvider);
    return S_OK;
}
