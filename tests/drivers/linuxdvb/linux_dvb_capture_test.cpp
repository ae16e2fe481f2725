// The capture filter's streaming thread: whole-packet samples from dvr, idle flushes, overflow
// counting (and the filter's IStreamLossStatistics), prompt stops and the end of the stream when
// the card goes; the sizes asked for dvr's buffer.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "drivers/linuxdvb/dvb_errors.h"
#include "drivers/linuxdvb/kernel_stream_device.h"
#include "drivers/linuxdvb/linux_dvb_capture_output_pin.h"
#include "drivers/linuxdvb/linux_dvb_test_rig.h"
#include "platform/bda/stream_loss_statistics.h"
#include "support/debug_output_capture.h"

namespace linuxdvb::testing {
namespace {

constexpr std::size_t kSample = CLinuxDvbCaptureOutputPin::kSampleBytes;

// Polls with a deadline; false when the condition never came.
template <typename F>
bool WaitFor(F condition, std::chrono::seconds limit = std::chrono::seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// The capture filter of the rig's graph, as IStreamLossStatistics (the only filter there that
// answers it).
ComPtr<IStreamLossStatistics> LossStatistics(CLinuxDvbTestRig& rig) {
    ComPtr<IFilterGraph> graph;
    ComPtr<IEnumFilters> filters;
    ComPtr<IStreamLossStatistics> statistics;
    if (FAILED(
            rig.Control()->QueryInterface(IFilterGraph::kIid, graph.ReleaseAndGetVoidAddress())) ||
        FAILED(graph->EnumFilters(filters.ReleaseAndGetAddressOf())))
        return statistics;
    ComPtr<IBaseFilter> filter;
    while (filters->Next(1, filter.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        if (SUCCEEDED(filter->QueryInterface(IStreamLossStatistics::kIid,
                                             statistics.ReleaseAndGetVoidAddress())))
            break;
    }
    return statistics;
}

std::vector<std::uint8_t> Slice(const std::vector<std::uint8_t>& bytes, std::size_t from,
                                std::size_t count) {
    return {bytes.begin() + static_cast<std::ptrdiff_t>(from),
            bytes.begin() + static_cast<std::ptrdiff_t>(from + count)};
}

TEST(CaptureStream, OpensTheFullStreamWithALargeBuffer) {
    CLinuxDvbTestRig rig;
    ASSERT_EQ(rig.Control()->Run(), S_OK);
    ASSERT_TRUE(rig.Kernel().Stream());
    // 100 Mbit/s for 1.3 s.
    EXPECT_GE(rig.Kernel().lastBufferBytes, 16u << 20);
    ASSERT_EQ(rig.Control()->Stop(), S_OK);
    EXPECT_EQ(rig.Kernel().state->openStreams, 0) << "closed at Stop";
}

TEST(CaptureStream, DeliversWholePacketSamplesInOrder) {
    CLinuxDvbTestRig rig;
    ASSERT_EQ(rig.Control()->Run(), S_OK);
    const auto stream = rig.Kernel().Stream();
    ASSERT_TRUE(stream);
    // Two and a half samples' worth, in reads that split packets: 1000 packets in odd pieces.
    const std::vector<std::uint8_t> packets = MakePackets(1000);
    std::size_t offset = 0;
    for (const std::size_t piece :
         {std::size_t{1}, std::size_t{187}, std::size_t{50'000}, std::size_t{100'001}}) {
        stream->Push({Slice(packets, offset, piece), 0});
        offset += piece;
    }
    stream->Push({Slice(packets, offset, packets.size() - offset), 0});
    ASSERT_TRUE(WaitFor([&] { return rig.SampleLengths().size() >= 3; }));
    ASSERT_EQ(rig.Control()->Stop(), S_OK);
    const std::vector<LONG> lengths = rig.SampleLengths();
    ASSERT_EQ(lengths.size(), 3u);
    EXPECT_EQ(lengths[0], static_cast<LONG>(kSample));
    EXPECT_EQ(lengths[1], static_cast<LONG>(kSample));
    // The rest came after an idle wait: 304 packets, all of them whole.
    EXPECT_EQ(lengths[2], static_cast<LONG>((1000 - 2 * 348) * 188));
    EXPECT_EQ(rig.TakeBytes(), packets);
}

TEST(CaptureStream, IdleFlushKeepsAPartialPacketForTheNextSample) {
    CLinuxDvbTestRig rig;
    ASSERT_EQ(rig.Control()->Run(), S_OK);
    const auto stream = rig.Kernel().Stream();
    const std::vector<std::uint8_t> packets = MakePackets(10);
    stream->Push({Slice(packets, 0, 3 * 188 + 100), 0});
    ASSERT_TRUE(WaitFor([&] { return rig.SampleLengths().size() == 1; }));
    EXPECT_EQ(rig.SampleLengths()[0], 3 * 188);
    stream->Push({Slice(packets, 3 * 188 + 100, 7 * 188 - 100), 0});
    ASSERT_TRUE(WaitFor([&] { return rig.SampleLengths().size() == 2; }));
    ASSERT_EQ(rig.Control()->Stop(), S_OK);
    EXPECT_EQ(rig.SampleLengths()[1], 7 * 188);
    EXPECT_EQ(rig.TakeBytes(), packets);
}

TEST(CaptureStream, StopsPromptlyWhileWaitingForData) {
    CLinuxDvbTestRig rig;
    ASSERT_EQ(rig.Control()->Run(), S_OK);
    const auto stream = rig.Kernel().Stream();
    ASSERT_TRUE(WaitFor([&] { return stream->Waits() > 0; }));
    // No data ever comes; Stop wakes the thread instead of waiting for dvr.
    ASSERT_EQ(rig.Control()->Stop(), S_OK);
    EXPECT_TRUE(rig.SampleLengths().empty());
    EXPECT_EQ(rig.Kernel().state->openStreams, 0);
    // And runs again.
    ASSERT_EQ(rig.Control()->Run(), S_OK);
    rig.Kernel().Stream()->Push({MakePackets(348), 0});
    ASSERT_TRUE(WaitFor([&] { return rig.SampleLengths().size() == 1; }));
    ASSERT_EQ(rig.Control()->Stop(), S_OK);
}

TEST(CaptureStream, OverflowIsCountedLoggedAndTheStreamGoesOn) {
    CDebugOutputCapture debug;
    CLinuxDvbTestRig rig;
    // Fed once running: data that comes while the graph only pauses is not delivered.
    ASSERT_EQ(rig.Control()->Run(), S_OK);
    for (FakeStreamChunk chunk :
         std::vector<FakeStreamChunk>{{Slice(MakePackets(10), 0, 5 * 188 + 60), 0},
                                      {{}, EOVERFLOW},
                                      {MakePackets(348, 100), 0},
                                      {{}, EOVERFLOW}}) {
        rig.Kernel().Stream()->Push(std::move(chunk));
    }
    ASSERT_TRUE(WaitFor(
        [&] { return rig.Kernel().Stream()->Pending() == 0 && rig.SampleLengths().size() == 2; }));
    ASSERT_EQ(rig.Control()->Stop(), S_OK);
    // The 60 bytes of a broken packet are dropped; the whole packets before and after stay.
    const std::vector<std::uint8_t> bytes = rig.TakeBytes();
    ASSERT_EQ(bytes.size(), (5 + 348) * 188u);
    for (std::size_t i = 0; i < bytes.size(); i += 188) EXPECT_EQ(bytes[i], 0x47) << i;
    EXPECT_EQ(Slice(bytes, 5 * 188, 348 * 188), MakePackets(348, 100));
    std::size_t overflowLines = 0;
    for (const std::string& line : debug.Lines()) {
        if (line.find("dvr buffer overflow, transport stream data lost") != std::string::npos)
            ++overflowLines;
    }
    EXPECT_EQ(overflowLines, 2u);
    EXPECT_NE(debug.Lines().back().find("(2 so far)"), std::string::npos) << debug.Lines().back();
    // The fake's stream does not tell its buffer: each overflow lost at least the size the card
    // asked for, less the read before it (1,000 and 940 bytes: the rest of the 348 packets after
    // a full sample), and the broken packet's 60 bytes went too.
    const ComPtr<IStreamLossStatistics> statistics = LossStatistics(rig);
    ASSERT_TRUE(statistics);
    std::uint64_t overruns = 0;
    std::uint64_t bytesLost = 0;
    ASSERT_EQ(statistics->GetStreamLoss(&overruns, &bytesLost), S_OK);
    EXPECT_EQ(overruns, 2u);
    EXPECT_EQ(bytesLost, 2 * CLinuxDvbCard::kStreamBufferBytes - 1'000 - 940 + 60);
    EXPECT_EQ(statistics->GetStreamLoss(nullptr, &bytesLost), E_POINTER);
}

struct BufferSizeCase {
    const char* name;
    std::size_t wanted;
    std::size_t largestGiven;  // the largest size the kernel has memory for
    int refusal;               // its errno for a larger one
    std::vector<std::size_t> asked;
    std::size_t taken;
};

TEST(CaptureStream, DvrBufferSizesAreHalvedWhileMemoryIsShortDownToFourMebibytes) {
    constexpr std::size_t MiB = 1u << 20;
    const std::vector<BufferSizeCase> cases = {
        {"given at once", 64 * MiB, 64 * MiB, ENOMEM, {64 * MiB}, 64 * MiB},
        {"halved twice", 64 * MiB, 20 * MiB, ENOMEM, {64 * MiB, 32 * MiB, 16 * MiB}, 16 * MiB},
        {"down to the least",
         64 * MiB,
         4 * MiB,
         ENOMEM,
         {64 * MiB, 32 * MiB, 16 * MiB, 8 * MiB, 4 * MiB},
         4 * MiB},
        {"none", 64 * MiB, 0, ENOMEM, {64 * MiB, 32 * MiB, 16 * MiB, 8 * MiB, 4 * MiB}, 0},
        // Only memory is worth asking again for: another refusal ends the attempts.
        {"not memory", 64 * MiB, 0, ENOTTY, {64 * MiB}, 0},
        {"small wish", 3 * MiB, 0, ENOMEM, {3 * MiB}, 0},
    };
    for (const BufferSizeCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::size_t> asked;
        int error = -1;
        const std::size_t taken = CKernelStreamDevice::TakeBufferSize(
            c.wanted,
            [&](std::size_t bytes) {
                asked.push_back(bytes);
                return bytes <= c.largestGiven ? 0 : c.refusal;
            },
            error);
        EXPECT_EQ(asked, c.asked);
        EXPECT_EQ(taken, c.taken);
        EXPECT_EQ(error, taken != 0 ? 0 : c.refusal);
    }
}

TEST(CaptureStream, ReadErrorEndsTheStreamAndStopStillWorks) {
    CLinuxDvbTestRig rig;
    ASSERT_EQ(rig.Control()->Run(), S_OK);
    for (FakeStreamChunk chunk :
         std::vector<FakeStreamChunk>{{MakePackets(348), 0}, {{}, ENODEV}, {MakePackets(348), 0}}) {
        rig.Kernel().Stream()->Push(std::move(chunk));
    }
    ASSERT_TRUE(WaitFor([&] { return rig.Kernel().Stream()->Pending() == 1; }));
    ASSERT_EQ(rig.Control()->Stop(), S_OK);
    EXPECT_EQ(rig.SampleLengths().size(), 1u) << "nothing read after the device went";
}

TEST(CaptureStream, NothingIsDeliveredWhilePaused) {
    CLinuxDvbTestRig rig;
    ASSERT_EQ(rig.Control()->Pause(), S_OK);
    const auto stream = rig.Kernel().Stream();
    stream->Push({MakePackets(348), 0});
    ASSERT_TRUE(WaitFor([&] { return stream->Pending() == 0 && stream->Waits() > 1; }));
    ASSERT_EQ(rig.Control()->Stop(), S_OK);
    EXPECT_TRUE(rig.SampleLengths().empty());
}

TEST(CaptureStream, EveryRunReadsAFreshStreamSoNothingStaleReachesARecording) {
    CLinuxDvbTestRig rig;
    ASSERT_EQ(rig.Control()->Run(), S_OK);
    const auto first = rig.Kernel().Stream();
    first->Push({MakePackets(348, 0), 0});
    ASSERT_TRUE(WaitFor([&] { return rig.SampleLengths().size() == 1; }));
    // What the kernel took after the last read and before the stop is left unread.
    first->Push({MakePackets(348, 1), 0});
    ASSERT_EQ(rig.Control()->Stop(), S_OK);
    EXPECT_EQ(rig.Kernel().state->openStreams, 0)
        << "the kernel's buffer goes with the stream at the stop";
    const std::size_t samplesBefore =
        rig.SampleLengths().size();  // the thread may have read it in time
    rig.TakeBytes();
    ASSERT_EQ(rig.Control()->Run(), S_OK);
    const auto second = rig.Kernel().Stream();
    ASSERT_NE(second, first) << "the run opens the stream again, with an empty buffer";
    second->Push({MakePackets(348, 2), 0});
    ASSERT_TRUE(WaitFor([&] { return rig.SampleLengths().size() == samplesBefore + 1; }));
    ASSERT_EQ(rig.Control()->Stop(), S_OK);
    EXPECT_EQ(rig.TakeBytes(), MakePackets(348, 2));
}

TEST(CaptureStream, StreamThatCannotOpenFailsTheRun) {
    CLinuxDvbTestRig rig;
    rig.Kernel().SetError("OpenStream", EBUSY);
    EXPECT_EQ(rig.Control()->Run(), kDeviceBusy);
    EXPECT_EQ(rig.Control()->Stop(), S_OK);
    rig.Kernel().SetError("OpenStream", 0);
    EXPECT_EQ(rig.Control()->Run(), S_OK) << "the next run opens it";
    EXPECT_EQ(rig.Control()->Stop(), S_OK);
}

}  // namespace
}  // namespace linuxdvb::testing
