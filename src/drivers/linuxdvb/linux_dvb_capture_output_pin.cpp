#include "drivers/linuxdvb/linux_dvb_capture_output_pin.h"

#include <fmt/format.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "platform/win/debug_output.h"

namespace linuxdvb {

CLinuxDvbCaptureOutputPin::CLinuxDvbCaptureOutputPin(CBaseFilter* filter, CCritSec* lock,
                                                     StreamOpener opener)
    : CBdaCaptureOutputPin(L"Linux DVB capture output", filter, lock),
      m_opener(std::move(opener)) {}

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
            // The kernel emptied its buffer: what follows starts on a packet boundary again.
            const std::uint64_t overflows =
                m_nOverflows.fetch_add(1, std::memory_order_relaxed) + 1;
            OutputDebugStringA(
                fmt::format("linuxdvb: dvr buffer overflow, transport stream data lost ({} so far)",
                            overflows));
            filled -= filled % kPacketBytes;
            continue;
        }
        if (count < 0) {
            OutputDebugStringA(fmt::format("linuxdvb: reading dvr failed, stream ends: {}",
                                           std::strerror(static_cast<int>(-count))));
            break;
        }
        filled += static_cast<std::size_t>(count);
        if (filled == static_cast<std::size_t>(kSampleBytes)) deliver(filled);
    }
}

}  // namespace linuxdvb
