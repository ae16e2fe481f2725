#include "platform/media/base_output_pin.h"

CBaseOutputPin::CBaseOutputPin(const wchar_t* objectName, CBaseFilter* filter, CCritSec* lock,
                               HRESULT* phr, const wchar_t* pinName)
    : CBasePin(objectName, filter, lock, phr, pinName, PINDIR_OUTPUT) {}

HRESULT CBaseOutputPin::CompleteConnect(IPin* receivePin) {
    ComPtr<IMemInputPin> input;
    const HRESULT hr =
        receivePin->QueryInterface(IMemInputPin::kIid, input.ReleaseAndGetVoidAddress());
    if (FAILED(hr) || !input) return E_NOINTERFACE;
    m_pInputPin = std::move(input);
    return S_OK;
}

HRESULT CBaseOutputPin::BreakConnect() {
    m_pInputPin = nullptr;
    return S_OK;
}

HRESULT CBaseOutputPin::Deliver(IMediaSample* sample) {
    IMemInputPin* input = m_pInputPin.Get();
    if (input == nullptr) return VFW_E_NOT_CONNECTED;
    return input->Receive(sample);
}

HRESULT CBaseOutputPin::DeliverEndOfStream() {
    IPin* partner = m_Connected.Get();
    if (partner == nullptr) return VFW_E_NOT_CONNECTED;
    return partner->EndOfStream();
}

HRESULT CBaseOutputPin::DeliverBeginFlush() {
    IPin* partner = m_Connected.Get();
    if (partner == nullptr) return VFW_E_NOT_CONNECTED;
    return partner->BeginFlush();
}

HRESULT CBaseOutputPin::DeliverEndFlush() {
    IPin* partner = m_Connected.Get();
    if (partner == nullptr) return VFW_E_NOT_CONNECTED;
    return partner->EndFlush();
}

HRESULT CBaseOutputPin::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    IPin* partner = m_Connected.Get();
    if (partner == nullptr) return VFW_E_NOT_CONNECTED;
    return partner->NewSegment(start, stop, rate);
}
