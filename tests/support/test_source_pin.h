#pragma once
// The output pin of CTestSourceFilter: offers and accepts exactly its one media type, and owns
// the streaming thread and the sample pool.
#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

#include "platform/media/base_output_pin.h"
#include "platform/media/sample_pool.h"
#include "support/test_source_filter.h"

class CTestSourcePin : public CBaseOutputPin {
public:
    CTestSourcePin(CTestSourceFilter* filter, CCritSec* lock, AM_MEDIA_TYPE type,
                   std::size_t poolSamples, LONG sampleSize, CTestSourceFilter::Generator generator);
    ~CTestSourcePin() override;

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* pmt) override;
    // Starts the streaming thread.
    HRESULT Active() override;
    // Tells the thread to stop, wakes it if it waits for a sample, and joins it.
    HRESULT Inactive() override;

    void SetStopObserver(std::function<void()> observer) { m_stopObserver = std::move(observer); }
    std::uint64_t SamplesDelivered() const { return m_nDelivered.load(); }
    HRESULT DeliverFailure() const { return m_hrFailure.load(); }
    bool IsStreaming() const { return m_bStreaming.load(); }
    CSamplePool& Pool() { return m_pool; }

private:
    void StreamingLoop();

    const AM_MEDIA_TYPE m_type;
    CSamplePool m_pool;
    const CTestSourceFilter::Generator m_generator;
    std::function<void()> m_stopObserver;
    std::thread m_thread;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bStreaming{false};
    std::atomic<std::uint64_t> m_nDelivered{0};
    std::atomic<HRESULT> m_hrFailure{S_OK};
};
