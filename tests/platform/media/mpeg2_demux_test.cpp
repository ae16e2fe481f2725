#include "platform/media/mpeg2_demux.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/media/filter_graph.h"
#include "platform/media/inf_tee.h"
#include "platform/media/inf_tee_input_pin.h"
#include "platform/media/media_types.h"
#include "platform/media/mpeg2_demux_input_pin.h"
#include "platform/media/mpeg2_demux_output_pin.h"
#include "platform/media/transport_info_filter.h"
#include "platform/media/transport_info_input_pin.h"
#include "platform/media/ts_test_stream.h"
#include "platform/media/wait_until.h"
#include "support/test_sink_filter.h"
#include "support/test_sink_pin.h"
#include "support/test_source_filter.h"

namespace {

using Bytes = CTsTestStream::Bytes;

// One "second" of a small multiplex: PAT (program 1 on PMT 0x100, program 2 on 0x110, NIT 0x10),
// both PMTs, an SDT, a NIT packet, 200 video packets on 0x200, 20 packets on 0x300 and nulls.
Bytes Multiplex(CTsTestStream& ts, int rounds) {
    const Bytes pat = CTsTestStream::PatSection(0x0401, {{0, 0x0010}, {1, 0x0100}, {2, 0x0110}});
    const Bytes sdt = CTsTestStream::SdtSection(
        0x0401, 0x0001, {{1, 1, "News 24", "Halvorin"}, {2, 2, "Radio Uno", "Halvorin"}});
    const Bytes pmt = CTsTestStream::LongSection(0x02, 1, 0, {0xE2, 0x00, 0xF0, 0x00});
    Bytes out;
    for (int round = 0; round < rounds; ++round) {
        AppendBytes(out, ts.SectionPackets(0x0000, pat));
        AppendBytes(out, ts.SectionPackets(0x0100, pmt));
        AppendBytes(out, ts.SectionPackets(0x0110, pmt));
        AppendBytes(out, ts.SectionPackets(0x0011, sdt));
        AppendBytes(out, ts.Packets(0x0010, 1));
        AppendBytes(out, ts.Packets(0x0200, 200));
        AppendBytes(out, ts.Packets(0x0300, 20));
        AppendBytes(out, ts.Packets(0x1FFF, 10));
    }
    return out;
}

// Serves `stream` in pieces of `piece` bytes, then ends the stream.
CTestSourceFilter::Generator Serve(const Bytes& stream, std::size_t piece) {
    return [&stream, piece](BYTE* buffer, LONG size, std::uint64_t index) -> LONG {
        const std::size_t pos = index * piece;
        if (pos >= stream.size()) return -1;
        const std::size_t n =
            std::min({piece, stream.size() - pos, static_cast<std::size_t>(size)});
        std::memcpy(buffer, stream.data() + pos, n);
        return static_cast<LONG>(n);
    };
}

struct DemuxGraph {
    ComPtr<IGraphBuilder> graph{new CFilterGraph};
    CTestSourceFilter* src;
    CMpeg2Demux* demux = new CMpeg2Demux;
    CTransportInfoFilter* info = new CTransportInfoFilter;

    DemuxGraph(const Bytes& stream, std::size_t piece)
        : src(new CTestSourceFilter(media::TransportStreamType(), 3, 65424, Serve(stream, piece))) {
        EXPECT_EQ(graph->AddFilter(src, L"capture"), S_OK);
        EXPECT_EQ(graph->AddFilter(demux, L"MPEG2 Demultiplexer"), S_OK);
        EXPECT_EQ(graph->AddFilter(info, L"transport information filter"), S_OK);
        EXPECT_EQ(graph->Connect(src->OutputPin(), demux->GetPin(0)), S_OK);
        EXPECT_EQ(graph->Connect(demux->GetPin(1), info->GetPin(0)), S_OK);
    }
    void RunToEnd() {
        auto control = graph.As<IMediaControl>();
        ASSERT_EQ(control->Run(), S_OK);
        ASSERT_TRUE(WaitUntil([&] { return !src->IsStreaming(); }));
        ASSERT_EQ(control->Stop(), S_OK);
        EXPECT_EQ(src->DeliverFailure(), S_OK);
    }
};

class DemuxPieceTest : public ::testing::TestWithParam<std::size_t> {};

TEST_P(DemuxPieceTest, CountsPerPidAndPassesOnlyPsiToTheInformationFilter) {
    CTsTestStream ts;
    const Bytes stream = Multiplex(ts, 5);
    DemuxGraph g(stream, GetParam());
    g.RunToEnd();

    const TransportCounters counters = g.demux->Counters();
    const std::map<std::uint16_t, std::uint64_t> all = {{0x0000, 5},   {0x0010, 5}, {0x0011, 5},
                                                        {0x0100, 5},   {0x0110, 5}, {0x0200, 1000},
                                                        {0x0300, 100}, {0x1FFF, 50}};
    EXPECT_EQ(counters.packetsPerPid, all);
    EXPECT_EQ(counters.continuityErrors, 0u);
    EXPECT_EQ(counters.syncLosses, 0u);
    EXPECT_EQ(g.demux->PmtPids(), (std::vector<std::uint16_t>{0x0100, 0x0110}));

    // The PAT leads every round, so the PMT PIDs are known before their first packet.
    const std::map<std::uint16_t, std::uint64_t> psi = {
        {0x0000, 5}, {0x0010, 5}, {0x0011, 5}, {0x0100, 5}, {0x0110, 5}};
    EXPECT_EQ(g.info->Counters().packetsPerPid, psi);
    EXPECT_EQ(g.info->Counters().continuityErrors, 0u);
    EXPECT_EQ(g.demux->DroppedPsiPackets(), 0u);
    EXPECT_EQ(g.demux->FailedDeliveries(), 0u);
    EXPECT_EQ(g.info->Services(), (std::vector<SdtService>{{1, 1, "News 24", "Halvorin"},
                                                           {2, 2, "Radio Uno", "Halvorin"}}));
}

INSTANTIATE_TEST_SUITE_P(Pieces, DemuxPieceTest, ::testing::Values(65424, 188 * 7, 1000, 189),
                         [](const ::testing::TestParamInfo<std::size_t>& item) {
                             return "Bytes" + std::to_string(item.param);
                         });

TEST(Mpeg2DemuxTest, ResynchronisesAfterGarbageAndCountsContinuityErrors) {
    CTsTestStream ts;
    Bytes stream = Multiplex(ts, 2);
    Bytes garbage(300, 0x00);
    garbage[100] = 0x47;
    AppendBytes(stream, garbage);
    ts.Packets(0x0200, 3);  // three video packets lost: one continuity error
    AppendBytes(stream, Multiplex(ts, 2));
    DemuxGraph g(stream, 4096);
    g.RunToEnd();
    const TransportCounters counters = g.demux->Counters();
    EXPECT_EQ(counters.syncLosses, 1u);
    EXPECT_EQ(counters.skippedBytes, 300u);
    EXPECT_EQ(counters.continuityErrors, 1u);
    EXPECT_EQ(counters.packetsPerPid.at(0x0200), 800u);
}

TEST(Mpeg2DemuxTest, PinsAcceptAndOfferTransportStreams) {
    ComPtr<CMpeg2Demux> demux(new CMpeg2Demux);
    EXPECT_EQ(demux->GetPinCount(), 2);
    EXPECT_EQ(demux->GetPin(2), nullptr);
    CBasePin* input = demux->GetPin(0);
    CBasePin* output = demux->GetPin(1);
    EXPECT_EQ(input->Name(), L"Input");
    EXPECT_EQ(output->Name(), L"Output");

    AM_MEDIA_TYPE anyStream;
    anyStream.majortype = MEDIATYPE_Stream;
    anyStream.subtype = com::MakeGuid("{12345678-0000-0000-0000-000000000000}");
    AM_MEDIA_TYPE video;
    video.majortype = com::MakeGuid("{73646976-0000-0010-8000-00AA00389B71}");
    EXPECT_EQ(input->QueryAccept(&anyStream), S_OK) << "any subtype of a stream";
    EXPECT_EQ(input->QueryAccept(&video), S_FALSE);
    EXPECT_EQ(output->QueryAccept(&anyStream), S_FALSE);
    const AM_MEDIA_TYPE ts = media::TransportStreamType();
    EXPECT_EQ(output->QueryAccept(&ts), S_OK);

    AM_MEDIA_TYPE offered;
    EXPECT_EQ(input->GetMediaType(0, &offered), S_OK);
    EXPECT_EQ(offered, ts) << "a transport stream is preferred";
    EXPECT_EQ(input->GetMediaType(1, &offered), VFW_S_NO_MORE_ITEMS);
    EXPECT_EQ(output->GetMediaType(-1, &offered), E_INVALIDARG);
}

TEST(Mpeg2DemuxTest, ATeeFeedsTheDemuxAndARecorderTheSameSamples) {
    CTsTestStream ts;
    const Bytes stream = Multiplex(ts, 20);
    ComPtr<IGraphBuilder> graph(new CFilterGraph);
    CCritSec recordLock;
    auto* src = new CTestSourceFilter(media::TransportStreamType(), 4, 65424, Serve(stream, 65424));
    auto* tee = new CInfTee;
    auto* demux = new CMpeg2Demux;
    auto* info = new CTransportInfoFilter;
    auto* sink = new CTestSinkFilter(&recordLock);
    for (IBaseFilter* f : std::initializer_list<IBaseFilter*>{src, tee, demux, info, sink}) {
        ASSERT_EQ(graph->AddFilter(f, nullptr), S_OK);
    }
    ASSERT_EQ(graph->Connect(src->OutputPin(), tee->InputPin()), S_OK);
    ASSERT_EQ(graph->Connect(tee->GetPin(1), demux->GetPin(0)), S_OK);
    ASSERT_EQ(graph->Connect(tee->GetPin(2), sink->InputPin()), S_OK);
    ASSERT_EQ(graph->Connect(demux->GetPin(1), info->GetPin(0)), S_OK);
    sink->InputPin()->SetLockInReceive(true);
    auto control = graph.As<IMediaControl>();
    ASSERT_EQ(control->Run(), S_OK);
    ASSERT_TRUE(WaitUntil([&] { return sink->InputPin()->EndOfStreams() == 1; }));
    ASSERT_EQ(control->Stop(), S_OK);
    EXPECT_EQ(sink->InputPin()->BytesReceived(), stream.size());
    EXPECT_EQ(demux->Counters().packetsPerPid.at(0x0200), 4000u);
    EXPECT_EQ(info->Services().size(), 2u);
}

}  // namespace
