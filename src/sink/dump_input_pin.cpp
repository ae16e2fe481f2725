#include "sink/dump_input_pin.h"

#include "platform/media/sample_data.h"
#include "sink/dest_filter.h"
#include "sink/record_file.h"

CDumpInputPin::CDumpInputPin(CDestFilter* filter, RecordState* record, HRESULT* phr)
    : CBaseInputPin(nullptr, filter, &record->m_RecordLock, phr, L"Input"),
      m_pRecord(record),
      m_pReceiveLock(&record->m_RecordLock) {}

HRESULT CDumpInputPin::CheckMediaType(const AM_MEDIA_TYPE*) {
    return S_OK;
}

HRESULT CDumpInputPin::GetMediaType(int position, AM_MEDIA_TYPE* pmt) {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    if (pmt == nullptr) return E_POINTER;
    *pmt = AM_MEDIA_TYPE{};
    pmt->majortype = MEDIATYPE_Stream;
    pmt->subtype = GUID_NULL;
    pmt->bFixedSizeSamples = TRUE;
    pmt->bTemporalCompression = FALSE;
    pmt->lSampleSize = 188;
    pmt->formattype = GUID_NULL;
    return S_OK;
}

HRESULT CDumpInputPin::Receive(IMediaSample* sample) {
    if (!m_bArmed.load(std::memory_order_acquire)) return S_OK;
    CAutoLock lock(*m_pReceiveLock);
    std::span<const std::uint8_t> data;
    const HRESULT hr = media::SampleData(sample, &data);
    if (FAILED(hr)) return hr;
    if (!data.empty() && m_pRecord->m_bRecordFileOpen.load(std::memory_order_acquire)) {
        m_pRecord->m_RecordFile.Write(data.data(), data.size());
    }
    return S_OK;
}

HRESULT CDumpInputPin::ReceiveCanBlock() {
    return S_FALSE;
}

HRESULT CDumpInputPin::EndOfStream() {
    CAutoLock lock(*m_pReceiveLock);
    return S_OK;
}

HRESULT CDumpInputPin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) {
    return S_OK;
}

void CDumpInputPin::Arm() {
    CAutoLock lock(*m_pReceiveLock);
    m_bArmed.store(true, std::memory_order_release);
}
