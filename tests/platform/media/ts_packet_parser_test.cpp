#include "platform/media/ts_packet_parser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/media/ts_test_stream.h"

namespace {

using Bytes = CTsTestStream::Bytes;

// Keeps every packet handed out, in order.
class CCollector : public CTsPacketParser::IPacketHandler {
public:
    virtual ~CCollector() = default;
    void OnPacket(const std::uint8_t* packet, std::uint16_t pid) override {
        packets.insert(packets.end(), packet, packet + 188);
        pids.push_back(pid);
    }
    Bytes packets;
    std::vector<std::uint16_t> pids;
};

// PAT, PMT, video and null packets interleaved: 10 + 10 + 300 + 40 packets.
Bytes MixedStream() {
    CTsTestStream ts;
    Bytes out;
    for (int round = 0; round < 10; ++round) {
        AppendBytes(out, ts.Packet(0x0000));
        AppendBytes(out, ts.Packets(0x0100, 1));
        AppendBytes(out, ts.Packets(0x0200, 30));
        AppendBytes(out, ts.Packets(0x1FFF, 4));
    }
    return out;
}

void FeedInPieces(CTsPacketParser& parser, const Bytes& data, std::size_t piece,
                  CTsPacketParser::IPacketHandler* handler) {
    for (std::size_t pos = 0; pos < data.size(); pos += piece) {
        const std::size_t n = std::min(piece, data.size() - pos);
        parser.Feed(std::span(data).subspan(pos, n), handler);
    }
}

class PieceSizeTest : public ::testing::TestWithParam<std::size_t> {};

TEST_P(PieceSizeTest, CountsEveryPacketWhateverTheSampleBoundaries) {
    const Bytes stream = MixedStream();
    CTsPacketParser parser;
    CCollector collector;
    FeedInPieces(parser, stream, GetParam(), &collector);
    const TransportCounters counters = parser.Counters();
    EXPECT_EQ(counters.packetsPerPid,
              (std::map<std::uint16_t, std::uint64_t>{
                  {0x0000, 10}, {0x0100, 10}, {0x0200, 300}, {0x1FFF, 40}}));
    EXPECT_EQ(counters.continuityErrors, 0u);
    EXPECT_EQ(counters.syncLosses, 0u);
    EXPECT_EQ(counters.skippedBytes, 0u);
    EXPECT_EQ(parser.TotalPackets(), 360u);
    EXPECT_EQ(collector.packets, stream) << "every packet whole and in order";
}

INSTANTIATE_TEST_SUITE_P(Pieces, PieceSizeTest,
                         ::testing::Values(1, 7, 187, 188, 189, 376, 1000, 65424, 1 << 20),
                         [](const ::testing::TestParamInfo<std::size_t>& item) {
                             return "Bytes" + std::to_string(item.param);
                         });

TEST(TsPacketParserTest, SkipsLeadingGarbageWithoutCallingItALoss) {
    Bytes data = {0x00, 0x47, 0x12, 0x47, 0x99};  // stray sync bytes that no packet confirms
    const Bytes stream = MixedStream();
    AppendBytes(data, stream);
    for (std::size_t piece : {std::size_t{3}, std::size_t{188}, data.size()}) {
        CTsPacketParser parser;
        CCollector collector;
        FeedInPieces(parser, data, piece, &collector);
        EXPECT_EQ(parser.SyncLosses(), 0u) << piece;
        EXPECT_EQ(parser.Counters().skippedBytes, 5u) << piece;
        EXPECT_EQ(parser.TotalPackets(), 360u) << piece;
        EXPECT_EQ(collector.packets, stream) << piece;
    }
}

TEST(TsPacketParserTest, ResynchronisesAfterGarbageInTheMiddle) {
    CTsTestStream ts;
    Bytes data = ts.Packets(0x0200, 20);
    // 61 bytes of garbage that contain sync bytes 188 apart from nothing.
    Bytes garbage(61, 0x00);
    garbage[0] = 0x12;
    garbage[10] = 0x47;
    garbage[40] = 0x47;
    AppendBytes(data, garbage);
    AppendBytes(data, ts.Packets(0x0200, 20));
    for (std::size_t piece :
         {std::size_t{1}, std::size_t{100}, std::size_t{188}, std::size_t{4096}}) {
        CTsPacketParser parser;
        FeedInPieces(parser, data, piece, nullptr);
        EXPECT_EQ(parser.SyncLosses(), 1u) << piece;
        EXPECT_EQ(parser.PacketCount(0x0200), 40u) << piece;
        EXPECT_EQ(parser.ContinuityErrors(), 0u) << piece;
        EXPECT_EQ(parser.Counters().skippedBytes, 61u) << piece;
    }
}

TEST(TsPacketParserTest, APacketCutShortCostsOnlyThatPacket) {
    CTsTestStream ts;
    Bytes data = ts.Packets(0x0300, 5);
    Bytes cut = ts.Packets(0x0300, 1);
    cut.resize(100);  // the tail of this packet was lost
    AppendBytes(data, cut);
    AppendBytes(data, ts.Packets(0x0300, 5));
    CTsPacketParser parser;
    FeedInPieces(parser, data, 1000, nullptr);
    EXPECT_EQ(parser.SyncLosses(), 1u);
    // The cut packet swallowed the first 88 bytes of the next one, which is then skipped.
    EXPECT_EQ(parser.PacketCount(0x0300), 10u);
    EXPECT_EQ(parser.ContinuityErrors(), 1u) << "the next good packet's counter jumps by 2";
}

// One PID's header bytes 3..5 (adaptation control and counter, adaptation length, flags).
struct CcCase {
    const char* name;
    std::vector<std::array<std::uint8_t, 3>> headers;
    std::uint16_t pid;
    std::uint64_t errors;
};

class ContinuityTest : public ::testing::TestWithParam<CcCase> {};

TEST_P(ContinuityTest, CountsErrors) {
    const CcCase& c = GetParam();
    Bytes data;
    for (const auto& h : c.headers) {
        Bytes packet(188, 0xFF);
        packet[0] = 0x47;
        packet[1] = static_cast<std::uint8_t>(c.pid >> 8);
        packet[2] = static_cast<std::uint8_t>(c.pid & 0xFF);
        packet[3] = h[0];
        packet[4] = h[1];
        packet[5] = h[2];
        AppendBytes(data, packet);
    }
    CTsPacketParser parser;
    parser.Feed(data, nullptr);
    EXPECT_EQ(parser.ContinuityErrors(), c.errors);
    EXPECT_EQ(parser.PacketCount(c.pid), c.headers.size());
}

INSTANTIATE_TEST_SUITE_P(
    Counters, ContinuityTest,
    ::testing::Values(
        CcCase{"InSequenceAndWrapping",
               {{0x1E, 0, 0}, {0x1F, 0, 0}, {0x10, 0, 0}, {0x11, 0, 0}},
               0x100,
               0},
        CcCase{"OnePacketLost", {{0x10, 0, 0}, {0x11, 0, 0}, {0x13, 0, 0}, {0x14, 0, 0}}, 0x100, 1},
        CcCase{"OutOfOrder", {{0x10, 0, 0}, {0x12, 0, 0}, {0x11, 0, 0}}, 0x100, 2},
        CcCase{"OneDuplicateAllowed",
               {{0x10, 0, 0}, {0x11, 0, 0}, {0x11, 0, 0}, {0x12, 0, 0}},
               0x100,
               0},
        CcCase{"SecondDuplicateIsAnError",
               {{0x10, 0, 0}, {0x11, 0, 0}, {0x11, 0, 0}, {0x11, 0, 0}},
               0x100,
               1},
        // Adaptation field only (control 10): the counter does not advance.
        CcCase{"AdaptationOnlyKeepsTheCounter",
               {{0x15, 0, 0}, {0x25, 183, 0x00}, {0x16, 0, 0}},
               0x100,
               0},
        // discontinuity_indicator set in a non-empty adaptation field: a jump is allowed.
        CcCase{"DiscontinuityIndicator", {{0x14, 0, 0}, {0x39, 10, 0x80}, {0x1A, 0, 0}}, 0x100, 0},
        CcCase{"JumpWithoutIndicator", {{0x14, 0, 0}, {0x39, 10, 0x00}}, 0x100, 1},
        CcCase{"NullPacketsAreNotChecked", {{0x10, 0, 0}, {0x17, 0, 0}, {0x13, 0, 0}}, 0x1FFF, 0}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(TsPacketParserTest, ErrorPacketsAreCountedButNotChecked) {
    Bytes data;
    for (std::uint8_t cc : {0, 1, 9, 2}) {
        Bytes packet(188, 0xFF);
        packet = {0x47, static_cast<std::uint8_t>(cc == 9 ? 0x81 : 0x01), 0x00,
                  static_cast<std::uint8_t>(0x10 | cc)};
        packet.resize(188, 0xFF);
        AppendBytes(data, packet);
    }
    CTsPacketParser parser;
    parser.Feed(data, nullptr);
    EXPECT_EQ(parser.PacketCount(0x100), 4u);
    EXPECT_EQ(parser.ContinuityErrors(), 0u) << "transport_error_indicator: counter not trusted";
}

TEST(TsPacketParserTest, ResyncForgetsThePartialPacketAndTheCountersState) {
    CTsTestStream before;
    Bytes data = before.Packets(0x0100, 4);  // counters 0..3
    data.resize(3 * 188 + 100);              // the fourth packet is cut
    CTsTestStream after;
    after.Packets(0x0100, 7);
    const Bytes resumed = after.Packets(0x0100, 2);  // counters 7 and 8

    CTsPacketParser parser;
    parser.Feed(data, nullptr);
    parser.Resync();
    parser.Feed(resumed, nullptr);
    EXPECT_EQ(parser.PacketCount(0x0100), 5u);
    EXPECT_EQ(parser.ContinuityErrors(), 0u) << "a new stream starts its own counters";
    EXPECT_EQ(parser.SyncLosses(), 0u);

    parser.Reset();
    EXPECT_TRUE(parser.Counters().packetsPerPid.empty());
    EXPECT_EQ(parser.TotalPackets(), 0u);
}

TEST(TsPacketParserTest, AFirstPacketWaitsForTheSyncByteThatConfirmsIt) {
    CTsTestStream ts;
    const Bytes first = ts.Packets(0x0100, 1);
    const Bytes second = ts.Packets(0x0100, 1);
    CTsPacketParser parser;
    CCollector collector;
    parser.Feed(first, &collector);
    EXPECT_EQ(parser.TotalPackets(), 0u) << "a lone sync byte proves nothing yet";
    parser.Feed(second, &collector);
    EXPECT_EQ(parser.TotalPackets(), 2u) << "in sync now, the second follows at once";
    Bytes both = first;
    AppendBytes(both, second);
    EXPECT_EQ(collector.packets, both);
}

}  // namespace
