// How fast the Linux capture path runs against a plain read loop over the same dvr. The capture
// path is the Linux DVB capture filter in a graph with a null sink: its streaming thread waits on
// and reads the dvr into samples of 348 packets from its pool and delivers them, as the graph
// runs it. The dvr is the bench's own: 10 s of a 500 Mbit/s stream (rounded down to whole
// samples) handed out in the chunks a DVB stick's USB transfers bring (210 packets, 39,480
// bytes), at most one chunk per read, as a reader that keeps up gets them. The baseline waits on
// and reads the same device into one sample-sized buffer. Both are timed in interleaved pairs,
// as stream Mbit per wall-clock second; the last line is the median ratio (capture / plain).
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "drivers/linuxdvb/dvb_stream_device.h"
#include "drivers/linuxdvb/linux_dvb_capture_filter.h"
#include "drivers/linuxdvb/linux_dvb_capture_output_pin.h"
#include "null_sink_filter.h"
#include "paired_ratio.h"
#include "platform/com/co_create.h"
#include "platform/media/media_classes.h"
#include "platform/media/media_interfaces.h"

namespace {

using linuxdvb::CLinuxDvbCaptureOutputPin;
using linuxdvb::DvbWaitResult;

constexpr std::uint64_t kStreamBitsPerSecond = 500'000'000;
constexpr std::uint64_t kStreamSeconds = 10;
constexpr std::size_t kPacketBytes = CLinuxDvbCaptureOutputPin::kPacketBytes;
constexpr std::size_t kSampleBytes = CLinuxDvbCaptureOutputPin::kSampleBytes;
constexpr std::uint64_t kStreamBytes =
    kStreamBitsPerSecond / 8 * kStreamSeconds / kSampleBytes * kSampleBytes;
constexpr std::size_t kChunkBytes = 210 * kPacketBytes;
// The packets the device repeats, as many as the card's 64 MiB dvr buffer holds: reads copy out
// of memory, not out of the processor's cache, as they do from the kernel's buffer.
constexpr std::size_t kDvrBufferBytes = 64u << 20;
constexpr std::size_t kPatternPackets = kDvrBufferBytes / kPacketBytes;
constexpr int kPairs = 15;

std::vector<std::uint8_t> MakePattern() {
    std::vector<std::uint8_t> bytes(kPatternPackets * kPacketBytes);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 13);
    for (std::size_t p = 0; p < kPatternPackets; ++p) bytes[p * kPacketBytes] = 0x47;
    return bytes;
}

// What every dvr of one path reads: the repeated packets, and whether the stream flows yet. A live
// source reads and drops what comes while its graph only pauses, so the capture path's stream
// flows once the graph runs.
class CBenchFeed {
public:
    explicit CBenchFeed(bool flowing) : m_pattern(MakePattern()), m_bFlowing(flowing) {}
    const std::vector<std::uint8_t>& Pattern() const { return m_pattern; }
    bool Flowing() const { return m_bFlowing.load(std::memory_order_acquire); }
    void SetFlowing(bool flowing) {
        {
            std::lock_guard guard(m_lock);
            m_bFlowing.store(flowing, std::memory_order_release);
        }
        m_changed.notify_all();
    }

private:
    friend class CBenchDvr;
    const std::vector<std::uint8_t> m_pattern;
    std::atomic<bool> m_bFlowing;
    std::mutex m_lock;
    std::condition_variable m_changed;
};

// A dvr that is ready with the next chunk whenever the stream flows, until the stream is out;
// otherwise it waits for a Wake or the timeout, as the kernel's does.
class CBenchDvr : public linuxdvb::IDvbStreamDevice {
public:
    explicit CBenchDvr(CBenchFeed& feed) : m_feed(feed), m_pattern(feed.Pattern()) {}

    DvbWaitResult Wait(int timeoutMs, int& error) override {
        error = 0;
        if (m_nLeft > 0 && m_feed.Flowing()) return DvbWaitResult::Readable;
        std::unique_lock lock(m_feed.m_lock);
        m_feed.m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [&] { return m_bWoken || (m_nLeft > 0 && m_feed.Flowing()); });
        if (m_bWoken) return DvbWaitResult::Woken;
        return m_nLeft > 0 && m_feed.Flowing() ? DvbWaitResult::Readable : DvbWaitResult::TimedOut;
    }
    long Read(std::span<std::uint8_t> buffer) override {
        std::size_t count = std::min<std::size_t>({buffer.size(), m_nChunkLeft, m_nLeft});
        if (count == 0) return 0;
        // The rest of the pattern first; the next read goes on from its start.
        count = std::min(count, m_pattern.size() - m_nOffset);
        std::memcpy(buffer.data(), m_pattern.data() + m_nOffset, count);
        m_nOffset = (m_nOffset + count) % m_pattern.size();
        m_nLeft -= count;
        m_nChunkLeft -= count;
        if (m_nChunkLeft == 0) m_nChunkLeft = kChunkBytes;
        return static_cast<long>(count);
    }
    void Wake() override {
        {
            std::lock_guard guard(m_feed.m_lock);
            m_bWoken = true;
        }
        m_feed.m_changed.notify_all();
    }

private:
    CBenchFeed& m_feed;
    const std::vector<std::uint8_t>& m_pattern;
    // The reading thread's.
    std::uint64_t m_nLeft = kStreamBytes;
    std::size_t m_nChunkLeft = kChunkBytes;
    std::size_t m_nOffset = 0;
    bool m_bWoken = false;  // under the feed's lock
};

double MbitPerSecond(std::chrono::steady_clock::duration wall) {
    return static_cast<double>(kStreamBytes) * 8 / 1e6 /
           std::chrono::duration<double>(wall).count();
}

// The baseline: what any reader of dvr does, into one buffer.
double PlainReadLoop(CBenchFeed& feed) {
    CBenchDvr dvr(feed);
    std::vector<std::uint8_t> buffer(kSampleBytes);
    std::uint64_t total = 0;
    const auto start = std::chrono::steady_clock::now();
    while (total < kStreamBytes) {
        int error = 0;
        if (dvr.Wait(CLinuxDvbCaptureOutputPin::kIdleMs, error) != DvbWaitResult::Readable) break;
        const long count = dvr.Read(buffer);
        if (count < 0) break;
        total += static_cast<std::uint64_t>(count);
        // Keeps the compiler from dropping the copies.
        asm volatile("" : : "r"(buffer.data()) : "memory");
    }
    const auto wall = std::chrono::steady_clock::now() - start;
    if (total != kStreamBytes)
        std::printf("the plain loop read %llu bytes\n", static_cast<unsigned long long>(total));
    return MbitPerSecond(wall);
}

// The capture filter, as the card's, and the null sink in a graph; each run opens a new stream.
class CCapturePath {
public:
    CCapturePath() {
        CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                         m_pGraph.ReleaseAndGetAddressOf());
        m_pCapture = new linuxdvb::CLinuxDvbCaptureFilter(
            GUID_NULL,
            [this](std::unique_ptr<linuxdvb::IDvbStreamDevice>& stream) {
                stream = std::make_unique<CBenchDvr>(m_feed);
                return S_OK;
            },
            kDvrBufferBytes);
        m_pSink = new CNullSinkFilter();
        m_pGraph->AddFilter(m_pCapture.Get(), L"capture");
        m_pGraph->AddFilter(m_pSink.Get(), L"null");
        ComPtr<IPin> output;
        ComPtr<IPin> input;
        m_pCapture->FindPin(L"Transport Stream", output.ReleaseAndGetAddressOf());
        m_pSink->FindPin(L"Input", input.ReleaseAndGetAddressOf());
        m_bConnected = m_pGraph->Connect(output.Get(), input.Get()) == S_OK;
        m_pControl = m_pGraph.As<IMediaControl>();
    }
    ~CCapturePath() { m_pControl->Stop(); }
    bool Connected() const { return m_bConnected; }

    double Run() {
        const std::uint64_t target = m_pSink->Bytes() + kStreamBytes;
        const auto start = std::chrono::steady_clock::now();
        m_pControl->Run();
        m_feed.SetFlowing(true);
        m_pSink->WaitForBytes(target);
        const auto wall = std::chrono::steady_clock::now() - start;
        m_pControl->Stop();
        m_feed.SetFlowing(false);
        return MbitPerSecond(wall);
    }
    std::uint64_t Samples() const { return m_pCapture->OutputPin()->SamplesDelivered(); }
    std::uint64_t Bytes() const { return m_pSink->Bytes(); }

private:
    CBenchFeed m_feed{false};
    ComPtr<IGraphBuilder> m_pGraph;
    ComPtr<linuxdvb::CLinuxDvbCaptureFilter> m_pCapture;
    ComPtr<CNullSinkFilter> m_pSink;
    ComPtr<IMediaControl> m_pControl;
    bool m_bConnected = false;
};

}  // namespace

int main() {
    CPairedRatio::PinToOneCpu();
    RegisterMediaClasses();
    CBenchFeed plainFeed(true);
    CCapturePath capture;
    if (!capture.Connected()) {
        std::printf("the capture filter did not connect to the sink\n");
        return 1;
    }
    capture.Run();  // warm-up, not counted
    PlainReadLoop(plainFeed);
    const CPairedRatio ratio = CPairedRatio::Measure(
        kPairs, [&] { return capture.Run(); }, [&] { return PlainReadLoop(plainFeed); });
    std::printf("stream: %llu bytes per run (%llu s at %llu Mbit/s), chunks of %zu bytes\n",
                static_cast<unsigned long long>(kStreamBytes),
                static_cast<unsigned long long>(kStreamSeconds),
                static_cast<unsigned long long>(kStreamBitsPerSecond / 1'000'000), kChunkBytes);
    std::printf("capture path: %llu samples, %llu bytes in all\n",
                static_cast<unsigned long long>(capture.Samples()),
                static_cast<unsigned long long>(capture.Bytes()));
    std::printf("median throughput: capture path %.0f Mbit/s, plain read loop %.0f Mbit/s\n",
                ratio.MeasuredRate(), ratio.BaselineRate());
    std::printf("capture/plain ratio: %s\n", ratio.Text().c_str());
    return 0;
}
