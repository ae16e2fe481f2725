#pragma once
// The Linux DVB capture filter's output "Transport Stream" and its streaming thread.
//
// Active (Stopped -> Paused) opens the adapter's stream (dvr, then the PID 0x2000 filter) and
// starts the thread; Inactive wakes it, joins it and closes the stream, so Stop never waits for
// data. The thread reads dvr into samples of 348 packets (65,424 bytes) from a pool of eight and
// delivers each full sample while the filter runs. When no data came for kIdleMs it delivers
// the whole packets it holds, so a slow stream still flows; a sample never ends in a partial
// packet (the rest waits for the next one). EOVERFLOW from dvr (the kernel's buffer overran and
// lost data) is counted and logged; any other read error (ENODEV: the card is gone) ends the
// thread. Threads: the control thread owns the stream device except while the thread runs;
// the counters are atomics.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "drivers/linuxdvb/dvb_stream_device.h"
#include "platform/media/base_output_pin.h"
#include "platform/media/sample_pool.h"

namespace linuxdvb {

class CLinuxDvbCaptureOutputPin : public CBaseOutputPin {
public:
    static constexpr const wchar_t* kName = L"Transport Stream";
    static constexpr std::size_t kPacketBytes = 188;
    static constexpr std::size_t kSamplePackets = 348;
    static constexpr LONG kSampleBytes = 348 * 188;
    static constexpr std::size_t kPoolSamples = 8;
    static constexpr int kIdleMs = 100;

    using StreamOpener = std::function<HRESULT(std::unique_ptr<IDvbStreamDevice>& stream)>;

    CLinuxDvbCaptureOutputPin(CBaseFilter* filter, CCritSec* lock, StreamOpener opener);
    ~CLinuxDvbCaptureOutputPin() override;

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override;
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* pmt) override;
    HRESULT Active() override;
    HRESULT Inactive() override;

    // Any thread.
    std::uint64_t SamplesDelivered() const { return m_nDelivered.load(std::memory_order_relaxed); }
    std::uint64_t Overflows() const { return m_nOverflows.load(std::memory_order_relaxed); }
    bool IsStreaming() const { return m_bStreaming.load(std::memory_order_acquire); }

private:
    void StreamingThread();
    void Stream();

    const StreamOpener m_opener;
    CSamplePool m_pool;
    std::unique_ptr<IDvbStreamDevice> m_pStream;
    std::thread m_thread;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bStreaming{false};
    std::atomic<std::uint64_t> m_nDelivered{0};
    std::atomic<std::uint64_t> m_nOverflows{0};
};

}  // namespace linuxdvb
