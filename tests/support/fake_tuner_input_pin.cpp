#include "support/fake_tuner_input_pin.h"

#include <utility>

#include "platform/bda/bda_device_interfaces.h"

CFakeTunerInputPin::CFakeTunerInputPin(CBaseFilter* filter, CCritSec* lock,
                                       std::shared_ptr<FakeTunerScript> script)
    : CBaseInputPin(L"fake tuner input", filter, lock, nullptr, L"Input0"),
      m_pScript(std::move(script)) {}

HRESULT CFakeTunerInputPin::CheckMediaType(const AM_MEDIA_TYPE* pmt) {
    return pmt->majortype == KSDATAFORMAT_TYPE_BDA_ANTENNA &&
                   pmt->subtype == m_pScript->acceptedNetworkType
               ? S_OK
               : S_FALSE;
}

HRESULT CFakeTunerInputPin::GetMediaType(int position, AM_MEDIA_TYPE* pmt) {
    if (position != 0) return CBaseInputPin::GetMediaType(position, pmt);
    pmt->majortype = KSDATAFORMAT_TYPE_BDA_ANTENNA;
    pmt->subtype = m_pScript->acceptedNetworkType;
    return S_OK;
}
