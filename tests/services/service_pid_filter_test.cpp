#include "services/service_pid_filter.h"

#include <gtest/gtest.h>

#include <set>

#include "drivers/sim/sim_stream_config.h"
#include "drivers/sim/ts_generator.h"
#include "hand_made_stream.h"
#include "services/psi_tables.h"
#include "services/service_scanner.h"

namespace {

std::uint16_t PidOf(const std::uint8_t* packet) {
    return static_cast<std::uint16_t>(((packet[1] & 0x1F) << 8) | packet[2]);
}

// The PIDs found in `packets`, and the continuity counters of PID 0 in order.
std::set<std::uint16_t> Pids(const Bytes& packets, std::vector<int>* patCounters) {
    std::set<std::uint16_t> pids;
    for (std::size_t at = 0; at + 188 <= packets.size(); at += 188) {
        const std::uint8_t* packet = &packets[at];
        pids.insert(PidOf(packet));
        if (PidOf(packet) == 0) patCounters->push_back(packet[3] & 0x0F);
    }
    return pids;
}

TEST(ServicePidFilterTest, TheSimulatedMultiplexCutToOneServiceParsesBackToExactlyThatService) {
    const SimStreamConfig config = MakeSimStreamConfig(77, 1, 20'000'000, 3, "Cut", 3);
    const SimServiceConfig& wanted = config.services[1];
    CTsGenerator generator(config);
    CServicePidFilter filter(wanted.service_id);
    Bytes input(188 * 1000);
    Bytes output;
    // One second of stream: ten PATs and PMTs, two SDTs.
    for (std::uint64_t sent = 0; sent < config.bit_rate / (188 * 8); sent += 1000) {
        generator.Fill(input.data(), 1000);
        filter.Filter(input, output);
    }

    CServiceScanner scanner;
    scanner.Consume(output);
    EXPECT_TRUE(scanner.IsComplete());
    EXPECT_EQ(scanner.BadSections(), 0u) << "the rewritten PAT carries a valid CRC";
    const std::vector<ServiceInfo> list = scanner.Snapshot();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].serviceNumber, wanted.service_id);
    EXPECT_EQ(list[0].name, wanted.service_name);
    EXPECT_EQ(list[0].streams.size(), wanted.streams.size());

    std::vector<int> counters;
    std::set<std::uint16_t> expected{0x0000, wanted.pmt_pid, wanted.pcr_pid, 0x0011};
    for (const SimElementaryStream& stream : wanted.streams) expected.insert(stream.pid);
    EXPECT_EQ(Pids(output, &counters), expected) << "nothing of the other services, no NIT";
    ASSERT_GE(counters.size(), 5u);
    for (std::size_t i = 0; i < counters.size(); ++i)
        EXPECT_EQ(counters[i], static_cast<int>(i % 16)) << "PAT packet " << i;
}

TEST(ServicePidFilterTest, TheRewrittenPatNamesOnlyTheServiceAndFollowsItsPmtPid) {
    CTsBuilder ts;
    CServicePidFilter filter(hand_made::kSecond, false);
    Bytes output;
    filter.Filter(hand_made::Stream(ts), output);
    ASSERT_GE(output.size(), 188u);
    const std::uint8_t* pat = output.data();
    ASSERT_EQ(PidOf(pat), 0);
    const std::size_t sectionSize = 3 + (((pat[6] & 0x0F) << 8) | pat[7]);
    const auto decoded = services::DecodeCurrentPat({pat + 5, sectionSize});
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->transportStreamId, hand_made::kTsid);
    EXPECT_EQ(decoded->programs, (std::vector<PatProgram>{{hand_made::kSecond, 0x0200}}));
    EXPECT_TRUE(filter.Passes(0x0223));
    EXPECT_FALSE(filter.Passes(0x0011)) << "SDT and EIT left out on request";
    EXPECT_FALSE(filter.Passes(0x0111));

    // A stream starts with a PES, video with a header a decoder can start from.
    const std::size_t before = output.size();
    filter.Filter(ts.Payload(0x0223), output);
    EXPECT_EQ(output.size(), before) << "no PES starts in it";
    Bytes start = ts.Payload(0x0223);
    start[1] |= 0x40;
    Bytes hevcStart = ts.Payload(0x0221);
    hevcStart[1] |= 0x40;
    filter.Filter(start, output);
    filter.Filter(hevcStart, output);
    EXPECT_EQ(output.size(), before + 188) << "the AAC PES, not the HEVC without its VPS";
    const Bytes vps{0x00, 0x00, 0x01, 0x40, 0x01};  // NAL unit type 32
    std::copy(vps.begin(), vps.end(), hevcStart.begin() + 20);
    filter.Filter(hevcStart, output);
    EXPECT_EQ(output.size(), before + 2 * 188);

    // A new PMT version without the AAC stream: its PID stops.
    filter.Filter(ts.Sections(0x0200, {hand_made::SecondPmt(1, false)}), output);
    EXPECT_FALSE(filter.Passes(0x0223));
    EXPECT_TRUE(filter.Passes(0x0224));
}

}  // namespace
