#include "drivers/kit/bda_tuner_output_pin.h"

#include "platform/bda/bda_device_interfaces.h"

CBdaTunerOutputPin::CBdaTunerOutputPin(const wchar_t* objectName, CBaseFilter* filter,
                                       CCritSec* lock, const GUID& medium)
    : CBasePin(objectName, filter, lock, nullptr, kName, PINDIR_OUTPUT), m_medium(medium) {}

AM_MEDIA_TYPE CBdaTunerOutputPin::MediumType(const GUID& medium) {
    AM_MEDIA_TYPE mt;
    mt.majortype = KSDATAFORMAT_TYPE_STREAM;
    mt.subtype = medium;
    mt.formattype = KSDATAFORMAT_SPECIFIER_BDA_TRANSPORT;
    return mt;
}

HRESULT CBdaTunerOutputPin::CheckMediaType(const AM_MEDIA_TYPE* pmt) {
    if (pmt == nullptr) return E_POINTER;
    return pmt->majortype == KSDATAFORMAT_TYPE_STREAM && pmt->subtype == m_medium ? S_OK : S_FALSE;
}

HRESULT CBdaTunerOutputPin::GetMediaType(int position, AM_MEDIA_TYPE* pmt) {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    if (pmt == nullptr) return E_POINTER;
    *pmt = MediumType(m_medium);
    return S_OK;
}
