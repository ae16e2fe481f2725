#include "support/test_sink_pin.h"

#include <mutex>
#include <optional>

#include "support/test_sink_filter.h"

CTestSinkPin::CTestSinkPin(CTestSinkFilter* filter, CCritSec* lock, std::size_t recordCapacity)
    : CBaseInputPin(L"Test Sink Input", filter, lock, nullptr, L"Input") {
    m_records.reserve(recordCapacity);
}

HRESULT CTestSinkPin::CheckMediaType(const AM_MEDIA_TYPE* pmt) {
    if (pmt == nullptr) return E_POINTER;
    if (m_bHasAcceptedType && !(*pmt == m_acceptedType)) return VFW_E_TYPE_NOT_ACCEPTED;
    return S_OK;
}

HRESULT CTestSinkPin::GetMediaType(int position, AM_MEDIA_TYPE* pmt) {
    if (position < 0) return E_INVALIDARG;
    if (position > 0 || !m_bHasOfferedType) return VFW_S_NO_MORE_ITEMS;
    *pmt = m_offeredType;
    return S_OK;
}

void CTestSinkPin::SetAcceptedType(const AM_MEDIA_TYPE& type) {
    m_acceptedType = type;
    m_bHasAcceptedType = true;
}

void CTestSinkPin::SetOfferedType(const AM_MEDIA_TYPE& type) {
    m_offeredType = type;
    m_bHasOfferedType = true;
}

HRESULT CTestSinkPin::Receive(IMediaSample* sample) {
    if (sample == nullptr) return E_POINTER;
    const HRESULT hr = CheckStreaming();
    if (hr != S_OK) return hr;
    std::optional<CAutoLock> lock;
    if (m_bLockInReceive) lock.emplace(*m_pLock);
    if (m_receiveHook) m_receiveHook(sample);
    BYTE* buffer = nullptr;
    sample->GetPointer(&buffer);
    const LONG length = sample->GetActualDataLength();
    if (m_records.size() < m_records.capacity()) m_records.push_back(Record{buffer, length});
    m_nBytes.fetch_add(static_cast<std::uint64_t>(length));
    m_nReceived.fetch_add(1);
    return S_OK;
}

HRESULT CTestSinkPin::ReceiveCanBlock() {
    return m_bLockInReceive ? S_OK : S_FALSE;
}

HRESULT CTestSinkPin::EndOfStream() {
    m_nEndOfStream.fetch_add(1);
    return S_OK;
}

HRESULT CTestSinkPin::BeginFlush() {
    m_nFlushes.fetch_add(1);
    return CBaseInputPin::BeginFlush();
}

HRESULT CTestSinkPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    m_nSegments.fetch_add(1);
    return CBaseInputPin::NewSegment(start, stop, rate);
}
