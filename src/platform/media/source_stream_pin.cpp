#include "platform/media/source_stream_pin.h"

#include <system_error>

#include "platform/media/base_filter.h"

CSourceStreamPin::CSourceStreamPin(const wchar_t* objectName, CBaseFilter* filter, CCritSec* lock,
                                   const wchar_t* pinName, std::size_t poolSamples,
                                   LONG sampleBytes, Delivery delivery)
    : CBaseOutputPin(objectName, filter, lock, nullptr, pinName),
      m_delivery(delivery),
      m_pool(poolSamples, sampleBytes) {}

CSourceStreamPin::~CSourceStreamPin() = default;

HRESULT CSourceStreamPin::Active() {
    if (m_thread.joinable()) return S_OK;
    const HRESULT hr = OnActive();
    if (FAILED(hr)) return hr;
    m_bStop.store(false);
    m_pool.Commit();
    m_bStreaming.store(true, std::memory_order_release);
    try {
        m_thread = std::thread(&CSourceStreamPin::ThreadProc, this);
    } catch (const std::system_error&) {
        m_bStreaming.store(false, std::memory_order_release);
        OnInactive();
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT CSourceStreamPin::Inactive() {
    if (!m_thread.joinable()) return S_OK;
    m_bStop.store(true);
    m_pool.Decommit();
    Wake();
    m_thread.join();
    OnInactive();
    return S_OK;
}

bool CSourceStreamPin::DeliversNow() const {
    return m_delivery == Delivery::WhileActive || m_pFilter->State() == State_Running;
}

HRESULT CSourceStreamPin::DeliverSample(IMediaSample* sample) {
    if (!DeliversNow()) return S_FALSE;
    const HRESULT hr = Deliver(sample);
    m_nDelivered.fetch_add(1, std::memory_order_relaxed);
    return hr;
}

void CSourceStreamPin::ThreadProc() {
    try {
        StreamLoop();
    } catch (...) {
        // Nothing leaves a thread's entry point; the stream just ends.
    }
    try {
        OnThreadExit();
    } catch (...) {
        // The same barrier for the exit hook.
    }
    m_bStreaming.store(false, std::memory_order_release);
}
