#pragma once
// A sink for the capture benchmarks: takes every transport-stream sample, counts its bytes and
// drops it. A waiting thread learns when a given count has arrived.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <limits>
#include <mutex>

#include "platform/media/base_filter.h"
#include "platform/media/base_input_pin.h"
#include "platform/media/crit_sec.h"
#include "platform/media/media_types.h"

class CNullSinkFilter : public CBaseFilter {
public:
    CNullSinkFilter()
        : CBaseFilter(L"null sink", nullptr, &m_lock, GUID_NULL), m_input(this, &m_lock) {}
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override { return n == 0 ? &m_input : nullptr; }
    std::uint64_t Bytes() const { return m_input.m_nBytes.load(); }
    // Returns once `total` bytes have arrived since the filter was made.
    void WaitForBytes(std::uint64_t total) { m_input.WaitFor(total); }

private:
    class CInput : public CBaseInputPin {
    public:
        CInput(CBaseFilter* filter, CCritSec* lock)
            : CBaseInputPin(L"null input", filter, lock, nullptr, L"Input") {}
        HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override {
            return pmt != nullptr && media::IsTransportStream(*pmt) ? S_OK : S_FALSE;
        }
        HRESULT Receive(IMediaSample* sample) override {
            const std::uint64_t total =
                m_nBytes.fetch_add(static_cast<std::uint64_t>(sample->GetActualDataLength())) +
                static_cast<std::uint64_t>(sample->GetActualDataLength());
            // The lock only for the sample that completes a wait, so the others cost an add.
            if (total >= m_nTarget.load()) {
                std::lock_guard guard(m_waitLock);
                m_arrived.notify_all();
            }
            return S_OK;
        }
        void WaitFor(std::uint64_t total) {
            m_nTarget.store(total);
            std::unique_lock lock(m_waitLock);
            m_arrived.wait(lock, [&] { return m_nBytes.load() >= total; });
            m_nTarget.store(std::numeric_limits<std::uint64_t>::max());
        }

        std::atomic<std::uint64_t> m_nBytes{0};
        std::atomic<std::uint64_t> m_nTarget{std::numeric_limits<std::uint64_t>::max()};
        std::mutex m_waitLock;
        std::condition_variable m_arrived;
    };

    CCritSec m_lock;
    CInput m_input;
};
