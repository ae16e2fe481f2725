// Recording throughput: samples of 348 transport packets pushed by a capture thread through the
// infinite pin tee into the sink filter and its file, against a plain write() loop of the same
// buffers into the same folder, timed in interleaved pairs. The last line is the median ratio.
//
// Both sides write into memory (/dev/shm) when it has room, so that what is compared is the two
// paths, not the disk's write-back of the run before.
#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "graph/tuner_session.h"
#include "paired_ratio.h"
#include "platform/media/media_classes.h"
#include "platform/media/media_types.h"
#include "record/recording.h"
#include "sink/record_file.h"
#include "support/allocation_counter.h"
#include "support/recording_graph.h"
#include "support/test_source_filter.h"

namespace {

constexpr LONG kSampleBytes = 188 * 348;
constexpr std::uint64_t kRunBytes = 512ull << 20;
constexpr std::uint64_t kSamples = (kRunBytes + kSampleBytes - 1) / kSampleBytes;
constexpr double kBytes = static_cast<double>(kSamples * kSampleBytes);
// One pair's ratio moves by some 5% either way with what else runs on a shared 2-core machine;
// the median of 25 stays within about 1.5% from run to run (9 pairs: about 3%).
constexpr int kPairs = 25;

// /dev/shm when it holds a run of each side twice over, else the build folder.
std::string OutputFolder() {
    struct statvfs memory {};
    if (::statvfs("/dev/shm", &memory) == 0 && ::access("/dev/shm", W_OK) == 0 &&
        static_cast<double>(memory.f_bavail) * static_cast<double>(memory.f_frsize) > 4 * kBytes) {
        return "/dev/shm";
    }
    return VLK_BENCH_OUTPUT_DIR;
}

std::uint64_t g_nSinkAllocations = 0;

// Set on the streaming thread when the generator is asked for the sample after the last, so once
// the sink has written the last one; the timing thread sleeps on it. Polling for the end every
// 100 us instead woke that thread about 5,000 times a second, and when the scheduler put it on the
// streaming thread's core each wake-up preempted the writer: the sink side then ran at about two
// thirds of its speed, depending only on where the two threads landed.
std::atomic<bool> g_bLastSampleWritten{false};

// One recording of kSamples samples through capture, tee and sink; returns its bytes per second.
double RecordThroughSink(const std::string& path) {
    CTunerSession session;
    MakeRecordingGraph(session);
    ComPtr<CTestSourceFilter> capture(
        new CTestSourceFilter(media::TransportStreamType(), 16, kSampleBytes,
                              [](BYTE*, LONG, std::uint64_t index) -> LONG {
                                  if (index < kSamples) return kSampleBytes;
                                  g_bLastSampleWritten.store(true, std::memory_order_release);
                                  g_bLastSampleWritten.notify_one();
                                  return -1;
                              }));
    if (!ConnectSourceThroughTeeToSink(session, capture.Get())) {
        std::fprintf(stderr, "cannot connect the source through the tee to the sink\n");
        std::exit(1);
    }
    ::unlink(path.c_str());
    SetRecordFilePath(session, path);

    g_bLastSampleWritten.store(false, std::memory_order_relaxed);
    const std::uint64_t allocationsBefore = CAllocationCounter::Total();
    const auto start = std::chrono::steady_clock::now();
    if (StartRecording(session) != 0) {
        std::fprintf(stderr, "cannot create %s\n", path.c_str());
        std::exit(1);
    }
    g_bLastSampleWritten.wait(false, std::memory_order_acquire);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    g_nSinkAllocations =
        std::max(g_nSinkAllocations, CAllocationCounter::Total() - allocationsBefore);
    // A sink that dropped bytes would look fast.
    const CRecordFile& file = session.m_Record.m_RecordFile;
    const std::uint64_t runBytes = kSamples * kSampleBytes;
    if (file.BytesWritten() != runBytes || file.BytesLost() != 0) {
        std::fprintf(stderr, "the sink wrote %llu of %llu bytes\n",
                     static_cast<unsigned long long>(file.BytesWritten()),
                     static_cast<unsigned long long>(runBytes));
        std::exit(1);
    }
    StopRecording(session);
    session.ReleaseGraph();
    ::unlink(path.c_str());
    return kBytes / seconds;
}

// The same buffers written with a plain write() loop; returns its bytes per second. One buffer is
// a fair match: the sink releases each sample before the next is taken and the pool hands out the
// one freed last, so the sink side, too, writes from one buffer of its 16.
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
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ::unlink(path.c_str());
    return kBytes / seconds;
}

}  // namespace

int main() {
    CPairedRatio::PinToOneCpu();
    RegisterMediaClasses();
    const std::string folder = OutputFolder();
    const std::vector<std::uint8_t> buffer(kSampleBytes);
    // One pair to warm up (page cache, first thread start), not counted.
    WritePlain(folder + "/record_throughput-plain.ts", buffer);
    RecordThroughSink(folder + "/record_throughput-sink.ts");
    const CPairedRatio ratio = CPairedRatio::Measure(
        kPairs, [&] { return RecordThroughSink(folder + "/record_throughput-sink.ts"); },
        [&] { return WritePlain(folder + "/record_throughput-plain.ts", buffer); });
    std::printf("samples: %llu of %ld bytes (%.2f GiB) per run, into %s\n",
                static_cast<unsigned long long>(kSamples), static_cast<long>(kSampleBytes),
                kBytes / (1u << 30), folder.c_str());
    std::printf("allocations while recording: %llu (%.4f per sample)\n",
                static_cast<unsigned long long>(g_nSinkAllocations),
                static_cast<double>(g_nSinkAllocations) / static_cast<double>(kSamples));
    std::printf("median rates: sink %.1f MB/s, plain write loop %.1f MB/s\n",
                ratio.MeasuredRate() / 1e6, ratio.BaselineRate() / 1e6);
    std::printf("sink/plain ratio: %s\n", ratio.Text().c_str());
    return 0;
}
