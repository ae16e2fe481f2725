#include "platform/media/base_input_pin.h"

#include "platform/media/base_filter.h"

CBaseInputPin::CBaseInputPin(const wchar_t* objectName, CBaseFilter* filter, CCritSec* lock,
                             HRESULT* phr, const wchar_t* pinName)
    : CBasePin(objectName, filter, lock, phr, pinName, PINDIR_INPUT) {}

HRESULT CBaseInputPin::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (iid == IMemInputPin::kIid) return GetInterface(static_cast<IMemInputPin*>(this), ppv);
    if (iid == IQualityControl::kIid) return GetInterface(static_cast<IQualityControl*>(this), ppv);
    return CBasePin::NonDelegatingQueryInterface(iid, ppv);
}

HRESULT CBaseInputPin::CheckStreaming() {
    if (!IsConnected()) return VFW_E_NOT_CONNECTED;
    if (IsStopped()) return VFW_E_WRONG_STATE;
    if (IsFlushing()) return S_FALSE;
    return S_OK;
}

HRESULT CBaseInputPin::Receive(IMediaSample* sample) {
    if (sample == nullptr) return E_POINTER;
    return CheckStreaming();
}

HRESULT CBaseInputPin::ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) {
    if (samples == nullptr || processed == nullptr) return E_POINTER;
    HRESULT hr = S_OK;
    *processed = 0;
    while (*processed < count) {
        hr = Receive(samples[*processed]);
        if (hr != S_OK) break;
        ++*processed;
    }
    return hr;
}

HRESULT CBaseInputPin::ReceiveCanBlock() {
    return S_OK;
}

HRESULT CBaseInputPin::Notify(IBaseFilter* /*self*/, long /*quality*/) {
    return E_NOTIMPL;
}

HRESULT CBaseInputPin::SetSink(IQualityControl* /*sink*/) {
    return S_OK;
}

HRESULT CBaseInputPin::EndOfStream() {
    const HRESULT hr = CheckStreaming();
    return hr == S_FALSE ? S_OK : hr;
}

// The flag is atomic: flushing is signalled without the state lock, which a sink may be holding
// across a write in Receive.
HRESULT CBaseInputPin::BeginFlush() {
    m_bFlushing.store(true, std::memory_order_release);
    return S_OK;
}

HRESULT CBaseInputPin::EndFlush() {
    m_bFlushing.store(false, std::memory_order_release);
    return S_OK;
}

HRESULT CBaseInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    m_tStart = start;
    m_tStop = stop;
    m_dRate = rate;
    return S_OK;
}

HRESULT CBaseInputPin::Inactive() {
    m_bFlushing.store(false, std::memory_order_release);
    return CBasePin::Inactive();
}
