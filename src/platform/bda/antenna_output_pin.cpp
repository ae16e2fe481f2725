#include "platform/bda/antenna_output_pin.h"

#include "platform/bda/bda_device_interfaces.h"

CAntennaOutputPin::CAntennaOutputPin(CBaseFilter* filter, CCritSec* lock, REFCLSID networkType)
    : CBaseOutputPin(L"Antenna Out pin", filter, lock, nullptr, kName),
      m_guidNetworkType(networkType) {}

AM_MEDIA_TYPE CAntennaOutputPin::AntennaType(REFCLSID networkType) {
    AM_MEDIA_TYPE mt;
    mt.majortype = KSDATAFORMAT_TYPE_BDA_ANTENNA;
    mt.subtype = networkType;
    return mt;
}

HRESULT CAntennaOutputPin::CheckMediaType(const AM_MEDIA_TYPE* pmt) {
    if (pmt == nullptr) return E_POINTER;
    return pmt->majortype == KSDATAFORMAT_TYPE_BDA_ANTENNA && pmt->subtype == m_guidNetworkType
               ? S_OK
               : S_FALSE;
}

HRESULT CAntennaOutputPin::GetMediaType(int position, AM_MEDIA_TYPE* pmt) {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    if (pmt == nullptr) return E_POINTER;
    *pmt = AntennaType(m_guidNetworkType);
    return S_OK;
}

HRESULT CAntennaOutputPin::CompleteConnect(IPin* receivePin) {
    const HRESULT hr = CBaseOutputPin::CompleteConnect(receivePin);
    return hr == E_NOINTERFACE ? S_OK : hr;
}
