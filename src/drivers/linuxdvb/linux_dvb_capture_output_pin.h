#pragma once
// The Linux DVB capture filter's output "Transport Stream" and what its streaming thread does
// (the thread itself, its start in Active and join in Stop: CSourceStreamPin).
//
// Active (Stopped -> Paused) opens the adapter's stream (dvr, then the PID 0x2000 filter) before
// the thread starts; Inactive wakes the thread, joins it and then closes the stream, so Stop never
// waits for data. The thread reads dvr into samples of 348 packets (65,424 bytes) from a pool of
// eight and delivers each full sample while the filter runs. When no data came for kIdleMs it
// delivers the whole packets it holds, so a slow stream still flows; a sample never ends in a
// partial packet (the rest waits for the next one). Any read error but EOVERFLOW (ENODEV: the
// card is gone) ends the thread.
//
// EOVERFLOW (dmxdev.c): a packet that did not fit into the free room of dvr's buffer was dropped,
// and so is every packet after it until the next read, which returns EOVERFLOW and empties the
// buffer. An overflow so loses the refused packet and the buffer's contents, which together are
// more than contents plus free room (the buffer's size less one byte), less what a read under way
// at that moment still took (the last read before the EOVERFLOW, at most), plus what came until
// the read. Each overflow is logged and counted with the buffer's size less that last read, plus
// the broken packet dropped here, as bytes lost: a lower bound. The stream goes on at a packet
// boundary.
//
// Threads: the control thread owns the stream device except while the thread runs; the counters
// are atomics.
#include <atomic>
#include <cstddef>
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

    // `bufferBytes`: the size of dvr's buffer the card asks for, taken as the buffer's size when
    // the stream device does not tell its own (IDvbStreamBuffer).
    CLinuxDvbCaptureOutputPin(CBaseFilter* filter, CCritSec* lock, StreamOpener opener,
                              std::size_t bufferBytes);
    ~CLinuxDvbCaptureOutputPin() override;

    // Since the pin was made; any thread.
    std::uint64_t Overflows() const { return m_nOverflows.load(std::memory_order_relaxed); }
    std::uint64_t BytesLost() const { return m_nBytesLost.load(std::memory_order_relaxed); }

private:
    // Opens the stream device; its failure fails Active.
    HRESULT OnActive() override;
    void Wake() override;
    void OnInactive() override;
    void StreamLoop() override;

    const StreamOpener m_opener;
    const std::size_t m_nRequestedBufferBytes;
    std::unique_ptr<IDvbStreamDevice> m_pStream;
    std::size_t m_nBufferBytes = 0;  // of the open stream's buffer, set before the thread starts
    std::atomic<std::uint64_t> m_nOverflows{0};
    std::atomic<std::uint64_t> m_nBytesLost{0};
};

}  // namespace linuxdvb
