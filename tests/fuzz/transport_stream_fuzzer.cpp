// A transport stream through the tuner graph's PSI branch: a source delivers the input in
// samples of changing sizes (so packets and sections straddle samples) to the MPEG-2
// demultiplexer, whose PSI output feeds the transport information filter. The demux hands on
// every packet of PIDs 0x00..0x1F, whole and in sync, so the filter counts what the demux counted
// on those PIDs (but for a packet it may still hold, see below), never loses sync, and no sample
// is dropped or refused.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>

#include "fuzz_support.h"
#include "platform/com/com_ptr.h"
#include "platform/media/base_filter.h"
#include "platform/media/base_output_pin.h"
#include "platform/media/filter_graph.h"
#include "platform/media/media_types.h"
#include "platform/media/mpeg2_demux.h"
#include "platform/media/sample_pool.h"
#include "platform/media/transport_info_filter.h"

namespace {

constexpr CLSID CLSID_FuzzSource = com::MakeGuid("{7E570000-0000-4000-8000-00000000F001}");
constexpr LONG kSampleSize = 4 * 188;

// The capture filter's part without its thread: samples of its own pool, delivered on the
// caller's thread.
class CFeedPin : public CBaseOutputPin {
public:
    CFeedPin(CBaseFilter* filter, CCritSec* lock)
        : CBaseOutputPin(L"Fuzz Feed Output", filter, lock, nullptr, L"Output"),
          m_pool(2, kSampleSize) {}

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override {
        return pmt != nullptr && media::IsTransportStream(*pmt) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* pmt) override {
        if (position < 0) return E_INVALIDARG;
        if (position > 0) return VFW_S_NO_MORE_ITEMS;
        *pmt = media::TransportStreamType();
        return S_OK;
    }

    void Feed(std::span<const std::uint8_t> bytes) {
        ComPtr<IMediaSample> sample = m_pool.TryGetSample();
        FUZZ_CHECK(sample);
        BYTE* buffer = nullptr;
        FUZZ_CHECK(SUCCEEDED(sample->GetPointer(&buffer)));
        std::memcpy(buffer, bytes.data(), bytes.size());
        FUZZ_CHECK(SUCCEEDED(sample->SetActualDataLength(static_cast<LONG>(bytes.size()))));
        FUZZ_CHECK(Deliver(sample.Get()) == S_OK);
    }

private:
    CSamplePool m_pool;
};

class CFeedFilter : public CBaseFilter {
public:
    CFeedFilter()
        : CBaseFilter(L"Fuzz Feed", nullptr, &m_lock, CLSID_FuzzSource), m_pin(this, &m_lock) {}
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override { return n == 0 ? &m_pin : nullptr; }
    CFeedPin& Pin() { return m_pin; }

private:
    CCritSec m_lock;
    CFeedPin m_pin;
};

// Sample sizes cycle through whole packets, odd cuts and single bytes, from a start the input
// length picks.
constexpr std::size_t kPieces[] = {kSampleSize, 188, 1, 187, 189, 7, 376, 200, 2, 564, 95};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ComPtr<IGraphBuilder> graph(new CFilterGraph);
    auto* feed = new CFeedFilter;
    auto* demux = new CMpeg2Demux;
    auto* info = new CTransportInfoFilter;
    FUZZ_CHECK(graph->AddFilter(feed, L"capture") == S_OK);
    FUZZ_CHECK(graph->AddFilter(demux, L"MPEG2 Demultiplexer") == S_OK);
    FUZZ_CHECK(graph->AddFilter(info, L"transport information filter") == S_OK);
    FUZZ_CHECK(graph->Connect(&feed->Pin(), demux->GetPin(0)) == S_OK);
    FUZZ_CHECK(graph->Connect(demux->GetPin(1), info->GetPin(0)) == S_OK);
    const ComPtr<IMediaControl> control = graph.As<IMediaControl>();
    FUZZ_CHECK(control->Run() == S_OK);

    std::span<const std::uint8_t> rest(data, size);
    for (std::size_t piece = size % std::size(kPieces); !rest.empty();
         piece = (piece + 1) % std::size(kPieces)) {
        const std::size_t take = std::min(kPieces[piece], rest.size());
        feed->Pin().Feed(rest.first(take));
        rest = rest.subspan(take);
    }

    const TransportCounters demuxed = demux->Counters();
    const TransportCounters informed = info->Counters();
    FUZZ_CHECK(demux->DroppedPsiPackets() == 0 && demux->FailedDeliveries() == 0);
    FUZZ_CHECK(informed.syncLosses == 0 && informed.skippedBytes == 0);
    // The filter's parser takes a packet for the start of the stream only once the next sync
    // byte confirms it, so a lone first packet waits for the next sample: one packet at most may
    // still be held when the input ends.
    std::uint64_t held = 0;
    for (std::uint16_t pid = 0; pid <= 0x1F; ++pid) {
        const auto a = demuxed.packetsPerPid.find(pid);
        const auto b = informed.packetsPerPid.find(pid);
        const std::uint64_t sent = a == demuxed.packetsPerPid.end() ? 0 : a->second;
        const std::uint64_t counted = b == informed.packetsPerPid.end() ? 0 : b->second;
        FUZZ_CHECK(counted <= sent);
        held += sent - counted;
    }
    FUZZ_CHECK(held <= 1);
    info->Services();
    info->Programs();
    FUZZ_CHECK(control->Stop() == S_OK);
    return 0;
}
