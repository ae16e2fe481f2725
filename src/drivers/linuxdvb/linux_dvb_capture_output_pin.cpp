#include "drivers/linuxdvb/linux_dvb_capture_output_pin.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "drivers/linuxdvb/dvb_stream_buffer.h"
#include "platform/win/debug_output.h"

namespace linuxdvb {

CLinuxDvbCaptureOutputPin::CLinuxDvbCaptureOutputPin(CBaseFilter* filter, CCritSec* lock,
                                                     StreamOpener opener, std::size_t bufferBytes)
    : CBdaCaptureOutputPin(L"Linux DVB capture output", filter, lock),
      m_opener(std::move(opener)),
      m_nRequestedBufferBytes(bufferBytes) {}

CLinuxDvbCaptureOutputPin::~CLinuxDvbCaptureOutputPin() {
    // A filter destroyed while active (never stopped) still ends its thread.
    Inactive();
}

HRESULT CLinuxDvbCaptureOutputPin::OnActive() {
    std::unique_ptr<IDvbStreamDevice> stream;
    const HRESULT hr = m_opener(stream);
    if (FAILED(hr) || !stream) {
        OutputDebugStringA(
            fmt::format("linuxdvb: no transport stream: 0x{:08X}", static_cast<std::uint32_t>(hr)));
        return FAILED(hr) ? hr : E_FAIL;
    }
    const auto* buffer = dynamic_cast<const IDvbStreamBuffer*>(stream.get());
    m_nBufferBytes = buffer != nullptr ? buffer->BufferBytes() : m_nRequestedBufferBytes;
    m_pStream = std::move(stream);
    return S_OK;
}

void CLinuxDvbCaptureOutputPin::Wake() {
    m_pStream->Wake();
}

void CLinuxDvbCaptureOutputPin::OnInactive() {
    m_pStream.reset();
}

void CLinuxDvbCaptureOutputPin::StreamLoop() {
    IDvbStreamDevice& stream = *m_pStream;
    ComPtr<IMediaSample> sample;
    BYTE* buffer = nullptr;
    std::size_t filled = 0;
    // The start of a packet that did not fit into a delivered sample.
    std::array<std::uint8_t, kPacketBytes> carry{};
    std::size_t carried = 0;
    // Bytes of the last read since the last overflow: all of it may have left the kernel's
    // buffer after an overflow began.
    std::size_t lastRead = 0;

    // Passes on the first `bytes` (dropped while the filter does not run) and keeps the rest.
    const auto deliver = [&](std::size_t bytes) {
        sample->SetActualDataLength(static_cast<LONG>(bytes));
        DeliverSample(sample.Get());
        carried = filled - bytes;
        std::memcpy(carry.data(), buffer + bytes, carried);
        sample.Reset();
        buffer = nullptr;
        filled = 0;
    };

    while (!StopRequested()) {
        int error = 0;
        const DvbWaitResult wait = stream.Wait(kIdleMs, error);
        if (wait == DvbWaitResult::Woken) break;
        if (wait == DvbWaitResult::Failed) {
            OutputDebugStringA(
                fmt::format("linuxdvb: waiting for dvr failed: {}", std::strerror(error)));
            break;
        }
        if (wait == DvbWaitResult::TimedOut) {
            if (sample && filled >= kPacketBytes) deliver(filled - filled % kPacketBytes);
            continue;
        }
        if (!sample) {
            sample = GetSample();
            if (!sample) break;  // decommitted: stopping
            sample->GetPointer(&buffer);
            std::memcpy(buffer, carry.data(), carried);
            filled = carried;
            carried = 0;
        }
        const long count =
            stream.Read(std::span<std::uint8_t>(buffer + filled, kSampleBytes - filled));
        if (count == -EOVERFLOW) {
            // The kernel emptied its buffer: what follows starts on a packet boundary again, and
            // the start of a packet read before is of no use.
            const std::size_t broken = filled % kPacketBytes;
            filled -= broken;
            m_nBytesLost.fetch_add(m_nBufferBytes - std::min(lastRead, m_nBufferBytes) + broken,
                                   std::memory_order_relaxed);
            lastRead = 0;
            const std::uint64_t overflows =
                m_nOverflows.fetch_add(1, std::memory_order_relaxed) + 1;
            OutputDebugStringA(
                fmt::format("linuxdvb: dvr buffer overflow, transport stream data lost ({} so far)",
                            overflows));
            continue;
        }
        if (count < 0) {
            OutputDebugStringA(fmt::format("linuxdvb: reading dvr failed, stream ends: {}",
                                           std::strerror(static_cast<int>(-count))));
            break;
        }
        if (count > 0) lastRead = static_cast<std::size_t>(count);
        filled += static_cast<std::size_t>(count);
        if (filled == static_cast<std::size_t>(kSampleBytes)) deliver(filled);
    }
}

}  // namespace linuxdvb
