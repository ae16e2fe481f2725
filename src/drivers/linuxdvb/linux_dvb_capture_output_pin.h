#pragma once
// The Linux DVB capture filter's output "Transport Stream" and what its streaming thread does
// (the thread itself, its start in Active and join in Stop: CSourceStreamPin).
//
// Active (Stopped -> Paused) opens the adapter's stream (dvr, then the PID 0x2000 filter) before
// the thread starts; Inactive wakes the thread, joins it and then closes the stream, so Stop never
// waits for data. The thread reads dvr into samples of 348 packets (65,424 bytes) from a pool of
// eight and delivers each full sample while the filter runs. When no data came for kIdleMs it
// delivers the whole packets it holds, so a slow stream still flows; a sample never ends in a
// partial packet (the rest waits for the next one). EOVERFLOW from dvr (the kernel's buffer
// overran and lost data) is counted and logged; any other read error (ENODEV: the card is gone)
// ends the thread. Threads: the control thread owns the stream device except while the thread
// runs; the counters are atomics.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "drivers/kit/bda_capture_output_pin.h"
#include "drivers/linuxdvb/dvb_stream_device.h"

namespace linuxdvb {

class CLinuxDvbCaptureOutputPin : public CBdaCaptureOutputPin {
public:
    static constexpr int kIdleMs = 100;

    using StreamOpener = std::function<HRESULT(std::unique_ptr<IDvbStreamDevice>& stream)>;

    CLinuxDvbCaptureOutputPin(CBaseFilter* filter, CCritSec* lock, StreamOpener opener);
    ~CLinuxDvbCaptureOutputPin() override;

    // Any thread.
    std::uint64_t Overflows() const { return m_nOverflows.load(std::memory_order_relaxed); }

private:
    // Opens the stream device; its failure fails Active.
    HRESULT OnActive() override;
    void Wake() override;
    void OnInactive() override;
    void StreamLoop() override;

    const StreamOpener m_opener;
    std::unique_ptr<IDvbStreamDevice> m_pStream;
    std::atomic<std::uint64_t> m_nOverflows{0};
};

}  // namespace linuxdvb
