// Recording throughput: samples of 348 transport packets pushed by a capture thread through the
// infinite pin tee into the sink filter and its file, against a plain write() loop of the same
// buffers into the same folder, measured in one run. The last line is the ratio of the two.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "graph/bda_graph.h"
#include "platform/com/co_create.h"
#include "platform/media/media_classes.h"
#include "platform/media/media_types.h"
#include "sink/dest_filter.h"
#include "sink/record_file.h"
#include "record/recording.h"
#include "allocation_counter.h"
#include "support/test_source_filter.h"

namespace {


constexpr LONG kSampleBytes = 188 * 348;
constexpr std::uint64_t kTotalBytes = 2ull << 30;
constexpr std::uint64_t kSamples = (kTotalBytes + kSampleBytes - 1) / kSampleBytes;

std::string OutputPath(const char* name) { return std::string(VLK_BENCH_OUTPUT_DIR) + "/" + name; }

double g_sinkBytesPerSecond = 0;
double g_plainBytesPerSecond = 0;
std::uint64_t g_sinkAllocations = 0;

// One recording of kSamples samples through capture, tee and sink; returns its seconds.
double RecordThroughSink(const std::string& path) {
    CBDAGraph& graph = g_BDAGraph;
    CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_ALL, graph.m_pGraph.ReleaseAndGetAddressOf());
    graph.m_pGraph.As(&graph.m_pGraphControl);
    CoCreateInstance(CLSID_InfTee, nullptr, CLSCTX_ALL, graph.m_pTeeFilter.ReleaseAndGetAddressOf());
    HRESULT hr = S_OK;
    graph.m_pSinkFilter = new CDestFilter(nullptr, &g_RecordLock, &hr);
    static_cast<IBaseFilter*>(graph.m_pSinkFilter)->AddRef();
    ComPtr<CTestSourceFilter> capture(new CTestSourceFilter(
        media::TransportStreamType(), 16, kSampleBytes,
        [](BYTE*, LONG, std::uint64_t index) -> LONG { return index < kSamples ? kSampleBytes : -1; }));
    graph.m_pGraph->AddFilter(capture.Get(), L"capture");
    graph.m_pGraph->AddFilter(graph.m_pTeeFilter.Get(), L"Infinite pin tee splitter");
    graph.m_pGraph->AddFilter(graph.m_pSinkFilter, L"Dest Filter");
    graph.ConnectPins(graph.m_pGraph.Get(), capture.Get(), graph.m_pTeeFilter.Get());
    graph.ConnectPins(graph.m_pGraph.Get(), graph.m_pTeeFilter.Get(), graph.m_pSinkFilter);
    ::unlink(path.c_str());
    SetRecordFilePath(path);

    const std::uint64_t allocationsBefore = AllocationCount();
    const auto start = std::chrono::steady_clock::now();
    if (StartRecording() != 0) {
        std::fprintf(stderr, "cannot create %s\n", path.c_str());
        std::exit(1);
    }
    while (capture->IsStreaming() || capture->SamplesDelivered() < kSamples) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    g_sinkAllocations = std::max(g_sinkAllocations, AllocationCount() - allocationsBefore);
    StopRecording();
    graph.ReleaseTunerGraph();
    ::unlink(path.c_str());
    return seconds;
}

// The same buffers written with a plain write() loop; returns its seconds.
double WritePlain(const std::string& path, const std::vector<std::uint8_t>& buffer) {
    ::unlink(path.c_str());
    const auto start = std::chrono::steady_clock::now();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    for (std::uint64_t i = 0; i < kSamples; ++i) {
        if (::write(fd, buffer.data(), buffer.size()) != kSampleBytes) {
            std::fprintf(stderr, "write failed\n");
            std::exit(1);
        }
    }
    ::close(fd);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ::unlink(path.c_str());
    return seconds;
}

// Rounds alternate between the two, and each side counts its best round, so that neither side
// always meets a cold page cache or the write-back of the round before.
void BM_SinkAgainstPlainWrites(benchmark::State& state) {
    RegisterMediaClasses();
    const std::vector<std::uint8_t> buffer(kSampleBytes);
    const double bytes = static_cast<double>(kSamples * kSampleBytes);
    for (auto _ : state) {
        g_plainBytesPerSecond = std::max(g_plainBytesPerSecond, bytes / WritePlain(OutputPath("record_throughput-plain.ts"), buffer));
        const double seconds = RecordThroughSink(OutputPath("record_throughput-sink.ts"));
        g_sinkBytesPerSecond = std::max(g_sinkBytesPerSecond, bytes / seconds);
        state.SetIterationTime(seconds);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
    state.counters["allocations"] = static_cast<double>(g_sinkAllocations);
}

BENCHMARK(BM_SinkAgainstPlainWrites)->Iterations(4)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("samples: %llu of %ld bytes (%.2f GiB) each way\n", static_cast<unsigned long long>(kSamples),
                static_cast<long>(kSampleBytes), static_cast<double>(kSamples * kSampleBytes) / (1u << 30));
    std::printf("allocations while recording: %llu (%.4f per sample)\n",
                static_cast<unsigned long long>(g_sinkAllocations),
                static_cast<double>(g_sinkAllocations) / static_cast<double>(kSamples));
    std::printf("best of 4: sink %.1f MB/s, plain write loop %.1f MB/s\n", g_sinkBytesPerSecond / 1e6, g_plainBytesPerSecond / 1e6);
    std::printf("sink/plain ratio: %.3f\n", g_sinkBytesPerSecond / g_plainBytesPerSecond);
    return 0;
}
