#include "drivers/linuxdvb/linux_dvb_capture_output_pin.h"

#include <fmt/format.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "platform/media/base_filter.h"
#include "platform/media/media_types.h"
#include "platform/win/debug_output.h"

namespace linuxdvb {

CLinuxDvbCaptureOutputPin::CLinuxDvbCaptureOutputPin(CBaseFilter* filter, CCritSec* lock,
                                                     StreamOpener opener)
    : CBaseOutputPin(L"Linux DVB capture output", filter, lock, nullptr, kName),
      m_opener(std::move(opener)),
      m_pool(kPoolSamples, kSampleBytes) {}

CLinuxDvbCaptureOutputPin::~CLinuxDvbCaptureOutputPin() {
    // A filter destroyed while active (never stopped) still ends its thread.
    if (m_thread.joinable() || m_pStream) Inactive();
}

HRESULT CLinuxDvbCaptureOutputPin::CheckMediaType(const AM_MEDIA_TYPE* pmt) {
    if (pmt == nullptr) return E_POINTER;
    return media::IsTransportStream(*pmt) ? S_OK : S_FALSE;
}

HRESULT CLinuxDvbCaptureOutputPin::GetMediaType(int position, AM_MEDIA_TYPE* pmt) {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    if (pmt == nullptr) return E_POINTER;
    *pmt = media::TransportStreamType();
    return S_OK;
}

HRESULT CLinuxDvbCaptureOutputPin::Active() {
    if (m_thread.joinable()) return S_OK;
    std::unique_ptr<IDvbStreamDevice> stream;
    const HRESULT hr = m_opener(stream);
    if (FAILED(hr) || !stream) {
        OutputDebugStringA(
            fmt::format("linuxdvb: no transport stream: 0x{:08X}", static_cast<std::uint32_t>(hr)));
        return FAILED(hr) ? hr : E_FAIL;
    }
    m_pStream = std::move(stream);
    m_bStop.store(false);
    m_pool.Commit();
    m_bStreaming.store(true, std::memory_order_release);
    try {
        m_thread = std::thread(&CLinuxDvbCaptureOutputPin::StreamingThread, this);
    } catch (const std::system_error&) {
        m_bStreaming.store(false, std::memory_order_release);
        m_pStream.reset();
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT CLinuxDvbCaptureOutputPin::Inactive() {
    m_bStop.store(true);
    if (m_pStream) m_pStream->Wake();
    m_pool.Decommit();
    if (m_thread.joinable()) m_thread.join();
    m_pStream.reset();
    return S_OK;
}

void CLinuxDvbCaptureOutputPin::StreamingThread() {
    try {
        Stream();
    } catch (...) {
        // Nothing leaves a thread's entry point; the stream just ends.
    }
    m_bStreaming.store(false, std::memory_order_release);
}

void CLinuxDvbCaptureOutputPin::Stream() {
    IDvbStreamDevice& stream = *m_pStream;
    ComPtr<IMediaSample> sample;
    BYTE* buffer = nullptr;
    std::size_t filled = 0;
    // The start of a packet that did not fit into a delivered sample.
    std::array<std::uint8_t, kPacketBytes> carry{};
    std::size_t carried = 0;

    const auto deliver = [&](std::size_t bytes) {
        if (m_pFilter->State() == State_Running) {
            sample->SetActualDataLength(static_cast<LONG>(bytes));
            Deliver(sample.Get());
            m_nDelivered.fetch_add(1, std::memory_order_relaxed);
        }
        carried = filled - bytes;
        std::memcpy(carry.data(), buffer + bytes, carried);
        sample.Reset();
        buffer = nullptr;
        filled = 0;
    };

    while (!m_bStop.load()) {
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
            sample = m_pool.GetSample();
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
