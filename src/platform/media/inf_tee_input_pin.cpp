#include "platform/media/inf_tee_input_pin.h"

#include "platform/media/inf_tee.h"

CInfTeeInputPin::CInfTeeInputPin(CInfTee* tee, CCritSec* lock, HRESULT* phr)
    : CBaseInputPin(L"Infinite Pin Tee Input", tee, lock, phr, L"Input"), m_pTee(tee) {}

HRESULT CInfTeeInputPin::CheckMediaType(const AM_MEDIA_TYPE* pmt) {
    if (pmt == nullptr) return E_POINTER;
    // The outputs cannot change their type under way.
    const AM_MEDIA_TYPE* outputType = m_pTee->ConnectedOutputType();
    if (outputType != nullptr && !(*outputType == *pmt)) return VFW_E_TYPE_NOT_ACCEPTED;
    return S_OK;
}

HRESULT CInfTeeInputPin::Receive(IMediaSample* sample) {
    if (sample == nullptr) return E_POINTER;
    const HRESULT hr = CheckStreaming();
    if (hr != S_OK) return hr;
    return m_pTee->DeliverToOutputs(sample);
}

HRESULT CInfTeeInputPin::ReceiveCanBlock() {
    return m_pTee->OutputsCanBlock();
}

HRESULT CInfTeeInputPin::EndOfStream() {
    const HRESULT hr = CBaseInputPin::EndOfStream();
    if (FAILED(hr)) return hr;
    return m_pTee->DeliverEndOfStream();
}

HRESULT CInfTeeInputPin::BeginFlush() {
    CBaseInputPin::BeginFlush();
    return m_pTee->DeliverBeginFlush();
}

HRESULT CInfTeeInputPin::EndFlush() {
    CBaseInputPin::EndFlush();
    return m_pTee->DeliverEndFlush();
}

HRESULT CInfTeeInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    CBaseInputPin::NewSegment(start, stop, rate);
    return m_pTee->DeliverNewSegment(start, stop, rate);
}
