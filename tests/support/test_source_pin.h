#pragma once
// The output pin of CTestSourceFilter: offers and accepts exactly its one media type, and streams
// (from Paused on, as a source that serves stored data does) what the generator makes, one
// sample of its own pool at a time.
#include <atomic>
#include <cstdint>
#include <functional>

#include "platform/media/source_stream_pin.h"
#include "support/test_source_filter.h"

class CTestSourcePin : public CSourceStreamPin {
public:
    CTestSourcePin(CTestSourceFilter* filter, CCritSec* lock, AM_MEDIA_TYPE type,
                   std::size_t poolSamples, LONG sampleSize,
                   CTestSourceFilter::Generator generator);
    ~CTestSourcePin() override;

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* pmt) override;

    void SetStopObserver(std::function<void()> observer) { m_stopObserver = std::move(observer); }
    // Samples the partner took since the last start (a refused one ends the thread uncounted).
    std::uint64_t SamplesTaken() const;
    HRESULT DeliverFailure() const { return m_hrFailure.load(); }
    using CSourceStreamPin::Pool;

private:
    HRESULT OnActive() override;
    // Tells the observer: the thread was told to stop and is about to be joined.
    void Wake() override;
    void StreamLoop() override;

    const AM_MEDIA_TYPE m_type;
    const CTestSourceFilter::Generator m_generator;
    std::function<void()> m_stopObserver;
    std::atomic<std::uint64_t> m_nDeliveredBefore{0};  // SamplesDelivered at the last start
    std::atomic<HRESULT> m_hrFailure{S_OK};
};
