#pragma once
// A Linux capture filter on a dvr the test feeds, for the tests of recordings on a real card's
// capture path: the chunks pushed (whole packets, part of one, or an errno such as EOVERFLOW) are
// handed out one per read in order, as the kernel's read returns them, and a reader waits until
// there is one, a Wake or its timeout. Each stream the filter opens reads from the same feed.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "drivers/linuxdvb/dvb_stream_buffer.h"
#include "drivers/linuxdvb/dvb_stream_device.h"
#include "drivers/linuxdvb/linux_dvb_capture_filter.h"
#include "platform/com/com_ptr.h"
#include "platform/com/error_info.h"

// Packet `index` of a test stream: sync byte, the index in the next four bytes, the rest 0xA5.
inline std::vector<std::uint8_t> TestPackets(std::size_t count, std::uint32_t first = 0) {
    std::vector<std::uint8_t> bytes(count * 188, 0xA5);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t index = first + static_cast<std::uint32_t>(i);
        bytes[i * 188] = 0x47;
        for (int k = 0; k < 4; ++k)
            bytes[i * 188 + 1 + static_cast<std::size_t>(k)] =
                static_cast<std::uint8_t>(index >> (8 * k));
    }
    return bytes;
}

class CTestDvrFeed {
public:
    struct Chunk {
        std::vector<std::uint8_t> bytes;
        int error = 0;
    };

    void Push(Chunk chunk) {
        {
            std::lock_guard guard(m_lock);
            m_chunks.push_back(std::move(chunk));
        }
        m_changed.notify_all();
    }
    // Chunks not yet read.
    std::size_t Pending() {
        std::lock_guard guard(m_lock);
        return m_chunks.size();
    }

private:
    friend class CTestDvr;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<Chunk> m_chunks;
};

// One open stream on the feed, telling the pin its dvr buffer as the kernel's stream device does.
class CTestDvr : public linuxdvb::IDvbStreamDevice, public linuxdvb::IDvbStreamBuffer {
public:
    CTestDvr(std::shared_ptr<CTestDvrFeed> feed, std::size_t bufferBytes)
        : m_pFeed(std::move(feed)), m_nBufferBytes(bufferBytes) {}

    linuxdvb::DvbWaitResult Wait(int timeoutMs, int& error) override {
        error = 0;
        std::unique_lock lock(m_pFeed->m_lock);
        m_pFeed->m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                    [&] { return m_bWoken || !m_pFeed->m_chunks.empty(); });
        if (m_bWoken) return linuxdvb::DvbWaitResult::Woken;
        return m_pFeed->m_chunks.empty() ? linuxdvb::DvbWaitResult::TimedOut
                                         : linuxdvb::DvbWaitResult::Readable;
    }
    long Read(std::span<std::uint8_t> buffer) override {
        std::lock_guard guard(m_pFeed->m_lock);
        if (m_pFeed->m_chunks.empty()) return 0;
        CTestDvrFeed::Chunk& chunk = m_pFeed->m_chunks.front();
        if (chunk.error != 0) {
            const int error = chunk.error;
            m_pFeed->m_chunks.pop_front();
            return -error;
        }
        // A read smaller than the chunk takes its start and leaves the rest for the next one.
        const std::size_t count = std::min(buffer.size(), chunk.bytes.size());
        std::copy_n(chunk.bytes.begin(), count, buffer.begin());
        chunk.bytes.erase(chunk.bytes.begin(), chunk.bytes.begin() + static_cast<long>(count));
        if (chunk.bytes.empty()) m_pFeed->m_chunks.pop_front();
        return static_cast<long>(count);
    }
    void Wake() override {
        {
            std::lock_guard guard(m_pFeed->m_lock);
            m_bWoken = true;
        }
        m_pFeed->m_changed.notify_all();
    }
    std::size_t BufferBytes() const override { return m_nBufferBytes; }

private:
    const std::shared_ptr<CTestDvrFeed> m_pFeed;
    const std::size_t m_nBufferBytes;
    bool m_bWoken = false;  // under the feed's lock
};

// A capture filter whose streams read `feed`, asking for `requestedBytes` of dvr buffer and
// getting `takenBytes`.
inline ComPtr<linuxdvb::CLinuxDvbCaptureFilter> MakeTestCapture(std::shared_ptr<CTestDvrFeed> feed,
                                                                std::size_t requestedBytes,
                                                                std::size_t takenBytes) {
    return ComPtr<linuxdvb::CLinuxDvbCaptureFilter>(new linuxdvb::CLinuxDvbCaptureFilter(
        GUID_NULL,
        [feed, takenBytes](std::unique_ptr<linuxdvb::IDvbStreamDevice>& stream) {
            stream = std::make_unique<CTestDvr>(feed, takenBytes);
            return S_OK;
        },
        requestedBytes));
}

// A capture filter whose stream cannot be opened: the opening leaves `description` (unless empty)
// for the thread, as the card does for a dvr another program reads, and fails with `hr`.
inline ComPtr<linuxdvb::CLinuxDvbCaptureFilter> MakeRefusingCapture(HRESULT hr,
                                                                    std::string description) {
    return ComPtr<linuxdvb::CLinuxDvbCaptureFilter>(new linuxdvb::CLinuxDvbCaptureFilter(
        GUID_NULL,
        [hr, description](std::unique_ptr<linuxdvb::IDvbStreamDevice>&) {
            if (!description.empty()) com::SetErrorDescription(description);
            return hr;
        },
        16u << 20));
}
