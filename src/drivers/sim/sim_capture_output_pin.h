#pragma once
// The simulated capture filter's output "Transport Stream" and its streaming thread.
//
// The thread starts when the filter becomes active (Stopped -> Paused) and is joined in its Stop.
// While the filter runs it delivers, in samples of 348 packets (65,424 bytes) from a pool of
// eight allocated once, every packet of the card's current stream plan that is due by the card's
// clock: packet k of a plan is due once the clock has passed epoch + k * 188 * 8 / bit rate.
// Only whole samples are delivered; a new plan (lock, input stream, MODCOD filter, output type)
// starts a new stream from its epoch. As on a real card, what is due while the filter does not
// run (stopped, paused, or before this activation) is never delivered: after Run the stream
// goes on from the packet due then, joined there (see CTsGenerator). With the clock in manual mode the thread acknowledges each
// time it has caught up, so CSimClock::Advance returns after the due samples were delivered.
#include <atomic>
#include <memory>
#include <thread>

#include "drivers/sim/sim_card.h"
#include "drivers/sim/sim_stream_source.h"
#include "platform/media/base_output_pin.h"
#include "platform/media/sample_pool.h"

class CSimCaptureOutputPin : public CBaseOutputPin {
public:
    static constexpr const wchar_t* kName = L"Transport Stream";
    static constexpr std::size_t kSamplePackets = 348;
    static constexpr LONG kSampleBytes = 348 * 188;
    static constexpr std::size_t kPoolSamples = 8;

    CSimCaptureOutputPin(CBaseFilter* filter, CCritSec* lock, std::shared_ptr<CSimCard> card);
    ~CSimCaptureOutputPin() override;

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* pmt) override;
    HRESULT Active() override;
    HRESULT Inactive() override;

    // Samples delivered since the pin was made (any thread).
    std::uint64_t SamplesDelivered() const { return m_nDelivered.load(std::memory_order_relaxed); }

private:
    void StreamingThread();
    void Stream();
    // Null when the plan's configuration cannot be generated.
    static std::unique_ptr<CSimStreamSource> MakeSource(const SimStreamPlan& plan, std::uint64_t firstPacket);

    const std::shared_ptr<CSimCard> m_pCard;
    CSamplePool m_pool;
    std::thread m_thread;
    std::atomic<bool> m_bStop{false};
    std::atomic<std::uint64_t> m_nDelivered{0};
    std::uint64_t m_nConsumer = 0;     // control thread only
    std::uint64_t m_nActiveSince = 0;  // card time of the last Active; set before the thread starts
};
