#include "platform/media/inf_tee_output_pin.h"

#include "platform/media/inf_tee.h"
#include "platform/media/inf_tee_input_pin.h"

CInfTeeOutputPin::CInfTeeOutputPin(CInfTee* tee, CCritSec* lock, HRESULT* phr,
                                   const wchar_t* pinName)
    : CBaseOutputPin(L"Infinite Pin Tee Output", tee, lock, phr, pinName), m_pTee(tee) {}

HRESULT CInfTeeOutputPin::CheckMediaType(const AM_MEDIA_TYPE* pmt) {
    if (pmt == nullptr) return E_POINTER;
    const CInfTeeInputPin* input = m_pTee->InputPin();
    if (!input->IsConnected()) return VFW_E_NOT_CONNECTED;
    return input->CurrentMediaType() == *pmt ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CInfTeeOutputPin::GetMediaType(int position, AM_MEDIA_TYPE* pmt) {
    if (position < 0) return E_INVALIDARG;
    if (pmt == nullptr) return E_POINTER;
    const CInfTeeInputPin* input = m_pTee->InputPin();
    if (position > 0 || !input->IsConnected()) return VFW_S_NO_MORE_ITEMS;
    *pmt = input->CurrentMediaType();
    return S_OK;
}

HRESULT CInfTeeOutputPin::CompleteConnect(IPin* receivePin) {
    const HRESULT hr = CBaseOutputPin::CompleteConnect(receivePin);
    if (FAILED(hr)) return hr;
    m_pTee->OnOutputConnected();
    return S_OK;
}

HRESULT CInfTeeOutputPin::BreakConnect() {
    CBaseOutputPin::BreakConnect();
    m_pTee->OnOutputDisconnecting(this);
    return S_OK;
}

HRESULT CInfTeeOutputPin::PartnerReceiveCanBlock() {
    IMemInputPin* input = m_pInputPin.Get();
    return input != nullptr ? input->ReceiveCanBlock() : S_FALSE;
}
