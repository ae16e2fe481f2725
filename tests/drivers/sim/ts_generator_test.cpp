#include "drivers/sim/ts_generator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "drivers/sim/sim_stream_config.h"
#include "drivers/sim/ts_packet_reader.h"
#include "support/temp_folder.h"

namespace {

constexpr std::uint64_t kHz = 27'000'000;
constexpr std::uint64_t kPcrWrap = (std::uint64_t{1} << 33) * 300;
constexpr std::size_t kChunk = 348;

// Stream time of a packet's first byte, 27 MHz, worked here from the packet index.
std::uint64_t TimeOf(std::uint64_t packet, std::uint64_t bitRate) {
    return packet * 188 * 8 * kHz / bitRate;
}

SimElementaryStream Stream(std::uint8_t type, std::uint16_t pid, std::uint64_t rate) {
    return {type, pid, rate, {}};
}

// Three services that exercise the corners: PCR on video, PCR on a PID of its own, PCR on audio
// of a radio service, an AC-3 stream, a name that is not ASCII.
SimStreamConfig MixedConfig() {
    SimStreamConfig c;
    c.transport_stream_id = 0x0457;
    c.original_network_id = 0x0001;
    c.network_id = 0x0001;
    c.network_name = "Sim Orbit";
    c.bit_rate = 15'000'000;
    c.seed = 7;
    SimServiceConfig tv{
        0x0065, 0x0100, 0x0101, "Alpha",
        "Sim",  0x01,   4,      {Stream(0x02, 0x0101, 4'000'000), Stream(0x04, 0x0102, 256'000)}};
    SimServiceConfig hd{0x0066,
                        0x0200,
                        0x02FF,
                        "Caf\xC3\xA9 Zwei",
                        "Sim HD",
                        0x19,
                        4,
                        {Stream(0x1B, 0x0201, 6'000'000), Stream(0x03, 0x0202, 192'000),
                         Stream(0x06, 0x0203, 448'000)}};
    SimServiceConfig radio{0x0067, 0x0300, 0x0301, "Radio Drei",
                           "Sim",  0x02,   1,      {Stream(0x04, 0x0301, 320'000)}};
    c.services = {tv, hd, radio};
    return c;
}

// A narrow carrier with only radio, no NIT.
SimStreamConfig RadioConfig() {
    SimStreamConfig c;
    c.transport_stream_id = 9;
    c.original_network_id = 0x0022;
    c.with_nit = false;
    c.bit_rate = 1'000'003;
    c.seed = 3;
    c.services = {
        {0x0901, 0x0040, 0x0041, "Talk", "Sim Radio", 0x02, 4, {Stream(0x04, 0x0041, 192'000)}},
        {0x0902, 0x0050, 0x0051, "Music", "Sim Radio", 0x02, 4, {Stream(0x03, 0x0051, 256'000)}}};
    return c;
}

struct StreamCase {
    const char* name;
    SimStreamConfig (*make)();
    std::uint64_t seconds;
};

void PrintTo(const StreamCase& c, std::ostream* os) {
    *os << c.name;
}

const StreamCase kStreamCases[] = {
    {"Mixed15M", MixedConfig, 10},
    {"Radio1M", RadioConfig, 10},
    {"DvbS38M", [] { return MakeSimStreamConfig(1101, 1, 38'014'706, 6, "Sky", 11); }, 4},
    {"Apsk100M", [] { return MakeSimStreamConfig(1001, 318, 99'988'966, 10, "Wide", 42); }, 2},
};

struct Generated {
    SimStreamConfig config;
    std::uint64_t packets = 0;
    std::uint64_t badSync = 0;
    CTsPacketReader reader;
};

// Each case is generated and read once for all the checks on it.
const Generated& Generate(const StreamCase& c) {
    static std::map<std::string, std::unique_ptr<Generated>> cache;
    auto& slot = cache[c.name];
    if (slot) return *slot;
    slot = std::make_unique<Generated>();
    slot->config = c.make();
    CTsGenerator generator(slot->config);
    slot->packets = CTsGenerator::PacketsBefore(slot->config.bit_rate, c.seconds * kHz);
    std::vector<std::uint8_t> buffer(kChunk * 188);
    for (std::uint64_t done = 0; done < slot->packets; done += kChunk) {
        const std::size_t count =
            static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, slot->packets - done));
        // Poison first, so that a byte the generator forgets to write shows.
        std::fill(buffer.begin(), buffer.end(), 0xA5);
        generator.Fill(buffer.data(), count);
        for (std::size_t i = 0; i < count; ++i) slot->badSync += buffer[i * 188] != 0x47;
        slot->reader.Read(buffer.data(), count);
    }
    EXPECT_EQ(generator.PacketsProduced(), slot->packets);
    return *slot;
}

std::vector<ReadSection> SectionsOn(const Generated& g, std::uint16_t pid) {
    std::vector<ReadSection> out;
    for (const ReadSection& s : g.reader.Sections()) {
        if (s.pid == pid) out.push_back(s);
    }
    return out;
}

bool IsVideoType(std::uint8_t type) {
    return type == 0x01 || type == 0x02 || type == 0x10 || type == 0x1B || type == 0x24;
}

class TsGeneratorStream : public ::testing::TestWithParam<StreamCase> {
protected:
    const Generated& g() { return Generate(GetParam()); }
    double Seconds() { return static_cast<double>(GetParam().seconds); }
};

TEST_P(TsGeneratorStream, PacketsAreWellFormedWithUnbrokenContinuity) {
    EXPECT_EQ(g().badSync, 0u);
    EXPECT_EQ(g().reader.PacketCount(), g().packets);
    // Sync, CC per PID (null PID aside), adaptation fields, pointer fields, PES lengths, CRCs.
    const auto& errors = g().reader.Errors();
    EXPECT_TRUE(errors.empty()) << errors.size() << " faults, first: " << errors.front();
}

// A receiver joining the stream learns where decoding can start: the packet that opens an
// I-picture (a sequence header first) carries the random access indicator, and no other does.
TEST_P(TsGeneratorStream, RandomAccessIsIndicatedExactlyWhereASequenceBegins) {
    std::size_t indicated = 0;
    for (const ReadPes& pes : g().reader.PesHeaders()) {
        ASSERT_EQ(pes.randomAccess, pes.opensSequence) << "PES at packet " << pes.packet;
        indicated += pes.randomAccess;
    }
    std::size_t pictureServices = 0;
    for (const SimServiceConfig& service : g().config.services)
        pictureServices += !service.streams.empty() && service.streams[0].stream_type == 0x02;
    // An I-picture at the start and at least once a second after it.
    EXPECT_GE(indicated, pictureServices * static_cast<std::size_t>(Seconds()));
}

TEST_P(TsGeneratorStream, PcrFollowsTheStreamClockAtMost40msApart) {
    const std::uint64_t rate = g().config.bit_rate;
    std::set<std::uint16_t> pcrPids;
    for (const SimServiceConfig& s : g().config.services) pcrPids.insert(s.pcr_pid);
    std::map<std::uint16_t, std::vector<ReadPcr>> byPid;
    for (const ReadPcr& pcr : g().reader.Pcrs()) {
        const std::uint64_t expected = TimeOf(pcr.packet, rate) % kPcrWrap;
        ASSERT_LE(std::max(pcr.value, expected) - std::min(pcr.value, expected), 1u)
            << "PID " << pcr.pid << " packet " << pcr.packet;
        byPid[pcr.pid].push_back(pcr);
    }
    for (const auto& [pid, pcrs] : byPid) EXPECT_TRUE(pcrPids.count(pid)) << "stray PCR on " << pid;
    for (std::uint16_t pid : pcrPids) {
        const auto& pcrs = byPid[pid];
        ASSERT_FALSE(pcrs.empty()) << "no PCR on " << pid;
        EXPECT_LE(pcrs.front().value, 40 * kHz / 1000) << pid;
        for (std::size_t i = 1; i < pcrs.size(); ++i) {
            ASSERT_LE(pcrs[i].value - pcrs[i - 1].value, 40 * kHz / 1000)
                << "PID " << pid << " PCR " << i;
        }
        const std::uint64_t last = TimeOf(g().packets - 1, rate);
        EXPECT_LE(last - pcrs.back().value, 40 * kHz / 1000);
    }
}

TEST_P(TsGeneratorStream, PatAndPmtsDescribeTheServices) {
    const SimStreamConfig& config = g().config;
    const auto pats = SectionsOn(g(), 0x0000);
    ASSERT_FALSE(pats.empty());
    const auto pat = DecodePat(pats.front().bytes);
    ASSERT_TRUE(pat.has_value());
    EXPECT_EQ(pat->transportStreamId, config.transport_stream_id);
    std::map<std::uint16_t, std::uint16_t> expected;
    if (config.with_nit) expected[0] = 0x0010;
    for (const SimServiceConfig& s : config.services) expected[s.service_id] = s.pmt_pid;
    EXPECT_EQ(pat->programs, expected);

    for (const SimServiceConfig& s : config.services) {
        const auto sections = SectionsOn(g(), s.pmt_pid);
        ASSERT_FALSE(sections.empty()) << "no PMT for " << s.service_id;
        const auto pmt = DecodePmt(sections.front().bytes);
        ASSERT_TRUE(pmt.has_value());
        EXPECT_EQ(pmt->programNumber, s.service_id);
        EXPECT_EQ(pmt->pcrPid, s.pcr_pid);
        std::vector<std::pair<std::uint8_t, std::uint16_t>> streams;
        for (const SimElementaryStream& e : s.streams) streams.emplace_back(e.stream_type, e.pid);
        EXPECT_EQ(pmt->streams, streams);
    }
}

TEST_P(TsGeneratorStream, SdtAndNitCarryTheNames) {
    const SimStreamConfig& config = g().config;
    std::map<std::uint16_t, DecodedSdtService> seen;
    for (const ReadSection& section : SectionsOn(g(), 0x0011)) {
        const auto sdt = DecodeSdt(section.bytes);
        ASSERT_TRUE(sdt.has_value());
        EXPECT_EQ(sdt->transportStreamId, config.transport_stream_id);
        EXPECT_EQ(sdt->originalNetworkId, config.original_network_id);
        for (const DecodedSdtService& s : sdt->services) seen[s.serviceId] = s;
    }
    ASSERT_EQ(seen.size(), config.services.size());
    for (const SimServiceConfig& s : config.services) {
        const DecodedSdtService& got = seen[s.service_id];
        const bool ascii = std::all_of(s.service_name.begin(), s.service_name.end(), [](char ch) {
            return static_cast<unsigned char>(ch) < 0x80;
        });
        EXPECT_EQ(got.name, ascii ? s.service_name : "\x15" + s.service_name);
        EXPECT_EQ(got.provider, s.provider_name);
        EXPECT_EQ(got.serviceType, s.service_type);
        EXPECT_EQ(got.runningStatus, s.running_status);
    }

    const auto nits = SectionsOn(g(), 0x0010);
    if (!config.with_nit) {
        EXPECT_EQ(g().reader.PacketsPerPid().count(0x0010), 0u);
        return;
    }
    ASSERT_FALSE(nits.empty());
    const auto nit = DecodeNit(nits.front().bytes);
    ASSERT_TRUE(nit.has_value());
    EXPECT_EQ(nit->networkId, config.network_id);
    EXPECT_EQ(nit->networkName, config.network_name);
    EXPECT_EQ(nit->transportStreamId, config.transport_stream_id);
    EXPECT_EQ(nit->originalNetworkId, config.original_network_id);
    ASSERT_EQ(nit->serviceList.size(), config.services.size());
    for (std::size_t i = 0; i < config.services.size(); ++i) {
        EXPECT_EQ(nit->serviceList[i].first, config.services[i].service_id);
        EXPECT_EQ(nit->serviceList[i].second, config.services[i].service_type);
    }
}

// The m-th repetition of a table starts at m periods, give or take the few packets that the
// tables and PCRs queued before it take.
TEST_P(TsGeneratorStream, TablesRepeatOnTheirPeriods) {
    const SimStreamConfig& config = g().config;
    std::map<std::uint16_t, std::uint64_t> periodMs = {{0x0000, 100}, {0x0011, 500}};
    if (config.with_nit) periodMs[0x0010] = 1000;
    for (const SimServiceConfig& s : config.services) periodMs[s.pmt_pid] = 100;
    const std::uint64_t slack = 20 * kHz / 1000;
    for (const auto& [pid, period] : periodMs) {
        std::vector<std::uint64_t> starts;
        for (const ReadSection& s : SectionsOn(g(), pid)) {
            if (s.bytes[6] == 0) starts.push_back(TimeOf(s.packet, config.bit_rate));
        }
        const std::uint64_t periodTicks = period * kHz / 1000;
        const std::uint64_t streamTicks = TimeOf(g().packets, config.bit_rate);
        // Repetitions due before the end, less one that may still be on its way.
        EXPECT_GE(starts.size(), (streamTicks + periodTicks - 1) / periodTicks - 1)
            << "PID " << pid;
        for (std::size_t m = 0; m < starts.size(); ++m) {
            // Due at the packet slot where the period falls, so up to a packet early.
            EXPECT_GT(starts[m] + TimeOf(1, config.bit_rate), m * periodTicks)
                << "PID " << pid << " repetition " << m;
            EXPECT_LE(starts[m], m * periodTicks + slack) << "PID " << pid << " repetition " << m;
        }
    }
}

TEST_P(TsGeneratorStream, PesPacketsCarryFramePacedPtsAheadOfPcr) {
    const SimStreamConfig& config = g().config;
    for (const SimServiceConfig& service : config.services) {
        for (const SimElementaryStream& e : service.streams) {
            std::vector<ReadPes> headers;
            for (const ReadPes& p : g().reader.PesHeaders()) {
                if (p.pid == e.pid) headers.push_back(p);
            }
            const bool video = IsVideoType(e.stream_type);
            const std::uint64_t frame = video ? 3600 : 2160;
            // Frames that began before the end of the stream, one either way.
            const double frames = Seconds() * 90000 / static_cast<double>(frame);
            EXPECT_NEAR(static_cast<double>(headers.size()), frames, 2.0) << "PID " << e.pid;
            for (std::size_t i = 0; i < headers.size(); ++i) {
                const ReadPes& p = headers[i];
                ASSERT_TRUE(p.pts.has_value()) << "PID " << e.pid;
                if (video) {
                    EXPECT_EQ(p.streamId & 0xF0, 0xE0);
                    EXPECT_EQ(p.length, 0);
                } else {
                    EXPECT_EQ(p.streamId & 0xE0, e.stream_type == 0x06 ? 0xA0 : 0xC0)
                        << "PID " << e.pid;
                    EXPECT_NE(p.length, 0);
                }
                if (i > 0) {
                    ASSERT_EQ(*p.pts - *headers[i - 1].pts, frame)
                        << "PID " << e.pid << " PES " << i;
                }
                const std::uint64_t arrival = TimeOf(p.packet, config.bit_rate) / 300;
                ASSERT_GT(*p.pts, arrival) << "PID " << e.pid << " PES " << i;
                ASSERT_LE(*p.pts - arrival, 90000u) << "PID " << e.pid << " PES " << i;
            }
        }
    }
}

TEST_P(TsGeneratorStream, EachPidTakesItsConfiguredShare) {
    const SimStreamConfig& config = g().config;
    const auto& counts = g().reader.PacketsPerPid();
    auto count = [&](std::uint16_t pid) { return counts.count(pid) ? counts.at(pid) : 0; };
    std::map<std::uint16_t, std::uint64_t> pcrs;
    for (const ReadPcr& pcr : g().reader.Pcrs()) ++pcrs[pcr.pid];
    std::uint64_t streamRates = 0;
    std::uint64_t streamPackets = 0;
    for (const SimServiceConfig& service : config.services) {
        for (const SimElementaryStream& e : service.streams) {
            // MPEG audio carries the tone, which takes less than a wider share.
            const bool tone = e.stream_type == 0x03 || e.stream_type == 0x04;
            const std::uint64_t rate =
                tone ? std::min(e.bit_rate, CTsGenerator::ToneStreamRate()) : e.bit_rate;
            const double expected = static_cast<double>(rate) * Seconds() / 1504;
            // PCR-only packets also travel on a PCR PID of its own, and on a tone's PID while it
            // waits for its next frame; other streams carry theirs inside.
            const double pcrOnly = tone ? static_cast<double>(pcrs[e.pid]) : 0.0;
            EXPECT_GE(static_cast<double>(count(e.pid)), expected * 0.99 - 2) << "PID " << e.pid;
            EXPECT_LE(static_cast<double>(count(e.pid)), expected * 1.01 + 2 + pcrOnly)
                << "PID " << e.pid;
            streamRates += rate;
            streamPackets += count(e.pid);
        }
    }
    const std::uint64_t nonNull = g().packets - count(0x1FFF);
    const double streamShare =
        static_cast<double>(streamRates) / static_cast<double>(config.bit_rate);
    const double nonNullShare = static_cast<double>(nonNull) / static_cast<double>(g().packets);
    // Above the streams only tables and PCR-only packets, a few percent at most.
    EXPECT_GE(nonNullShare, streamShare * 0.99);
    EXPECT_LE(nonNullShare - streamShare, config.bit_rate >= 10'000'000 ? 0.015 : 0.06);
    EXPECT_LE(nonNull - streamPackets,
              static_cast<std::uint64_t>(Seconds() * (12 + 10 * config.services.size() + 50)) + 20);
}

INSTANTIATE_TEST_SUITE_P(Carriers, TsGeneratorStream, ::testing::ValuesIn(kStreamCases),
                         [](const ::testing::TestParamInfo<StreamCase>& caseInfo) {
                             return caseInfo.param.name;
                         });

// The capture thread asks for the packets due by a clock time: ceil(t * rate / 1504) of them.
TEST(TsGeneratorClock, PacketCountPerSecondIsExact) {
    for (std::uint64_t rate :
         {1'000'003ull, 15'000'000ull, 38'014'706ull, 99'988'966ull, 180'000'000ull}) {
        for (std::uint64_t s : {1ull, 2ull, 7ull, 3600ull, 86400ull * 3}) {
            const std::uint64_t n = CTsGenerator::PacketsBefore(rate, s * kHz);
            EXPECT_EQ(n, (s * rate + 1503) / 1504) << rate << " bit/s, " << s << " s";
            EXPECT_LT(CTsGenerator::PacketTime(rate, n - 1), s * kHz);
            EXPECT_GE(CTsGenerator::PacketTime(rate, n), s * kHz);
        }
    }
    EXPECT_EQ(CTsGenerator::PacketsBefore(15'000'000, 0), 0u);
    EXPECT_EQ(CTsGenerator::PacketTime(15'000'000, 0), 0u);
}

std::vector<std::uint8_t> Produce(const SimStreamConfig& config, std::size_t packets,
                                  std::size_t chunk) {
    CTsGenerator generator(config);
    std::vector<std::uint8_t> out(packets * 188);
    for (std::size_t done = 0; done < packets; done += chunk) {
        generator.Fill(out.data() + done * 188, std::min(chunk, packets - done));
    }
    return out;
}

TEST(TsGeneratorDeterminism, SameConfigSameBytesWhateverTheChunks) {
    const SimStreamConfig config = MixedConfig();
    const std::size_t packets = 20'000;  // 2 s
    const auto whole = Produce(config, packets, packets);
    EXPECT_EQ(Produce(config, packets, packets), whole);
    EXPECT_EQ(Produce(config, packets, 1), whole);
    EXPECT_EQ(Produce(config, packets, 7), whole);
    EXPECT_EQ(Produce(config, packets, 348), whole);
}

// The seed feeds only the filler of stream types without content of their own (here H.264 and
// AC-3); the test card and the tone are the same whatever the seed.
TEST(TsGeneratorDeterminism, SeedChangesOnlyTheFiller) {
    SimStreamConfig other = MixedConfig();
    other.seed = 8;
    const std::size_t packets = 5'000;
    const auto a = Produce(MixedConfig(), packets, packets);
    const auto b = Produce(other, packets, packets);
    const std::set<std::uint16_t> filler = {0x0201, 0x0203};
    std::map<std::uint16_t, std::size_t> differing;
    std::size_t fillerPackets = 0;
    for (std::size_t i = 0; i < packets; ++i) {
        ASSERT_TRUE(std::equal(a.data() + i * 188, a.data() + i * 188 + 4, b.data() + i * 188))
            << i;
        const std::uint16_t pid =
            static_cast<std::uint16_t>((a[i * 188 + 1] & 0x1F) << 8 | a[i * 188 + 2]);
        fillerPackets += filler.count(pid);
        if (!std::equal(a.data() + i * 188, a.data() + (i + 1) * 188, b.data() + i * 188))
            ++differing[pid];
    }
    EXPECT_EQ(std::set<std::uint16_t>({0x0201, 0x0203}), [&] {
        std::set<std::uint16_t> pids;
        for (const auto& entry : differing) pids.insert(entry.first);
        return pids;
    }());
    EXPECT_GT(differing[0x0201] + differing[0x0203], fillerPackets * 9 / 10);
}

// One service, so the first packets are the PAT, PMT, SDT and NIT in that order.
SimStreamConfig GoldenConfig() {
    SimStreamConfig c;
    c.transport_stream_id = 0x0457;
    c.original_network_id = 0x0001;
    c.network_id = 0x0001;
    c.network_name = "N";
    c.bit_rate = 4'000'000;
    c.services = {{0x0065,
                   0x0100,
                   0x0101,
                   "Alpha",
                   "Sim",
                   0x01,
                   4,
                   {Stream(0x02, 0x0101, 2'000'000), Stream(0x04, 0x0102, 192'000)}}};
    return c;
}

std::array<std::uint8_t, 188> Packet(std::initializer_list<std::uint8_t> head) {
    std::array<std::uint8_t, 188> p;
    p.fill(0xFF);
    std::copy(head.begin(), head.end(), p.begin());
    return p;
}

TEST(TsGeneratorBytes, PatAndSdtPacketsByteForByte) {
    const auto bytes = Produce(GoldenConfig(), 4, 4);
    auto packet = [&](std::size_t i) {
        std::array<std::uint8_t, 188> p;
        std::copy(bytes.data() + i * 188, bytes.data() + (i + 1) * 188, p.begin());
        return p;
    };
    // PID 0, PUSI, CC 0, pointer_field 0; programs 0 -> NIT 0x0010 and 0x0065 -> 0x0100.
    EXPECT_EQ(packet(0),
              Packet({0x47, 0x40, 0x00, 0x10, 0x00, 0x00, 0xB0, 0x11, 0x04, 0x57, 0xC1, 0x00, 0x00,
                      0x00, 0x00, 0xE0, 0x10, 0x00, 0x65, 0xE1, 0x00, 0xED, 0x09, 0xBF, 0x24}));
    // SDT actual: running (4), service descriptor type 1, "Sim", "Alpha".
    EXPECT_EQ(packet(2),
              Packet({0x47, 0x40, 0x11, 0x10, 0x00, 0x42, 0xF0, 0x1E, 0x04, 0x57, 0xC1, 0x00, 0x00,
                      0x00, 0x01, 0xFF, 0x00, 0x65, 0xFC, 0x80, 0x0D, 0x48, 0x0B, 0x01, 0x03, 'S',
                      'i',  'm',  0x05, 'A',  'l',  'p',  'h',  'a',  0xDC, 0xD9, 0x41, 0xB2}));
    EXPECT_EQ(bytes[1 * 188 + 1], 0x41);  // PMT on 0x0100
    EXPECT_EQ(bytes[3 * 188 + 2], 0x10);  // NIT on 0x0010
}

TEST(TsGeneratorBytes, NullPacketsFillWhatTheStreamsLeave) {
    SimStreamConfig config = GoldenConfig();
    const std::size_t packets = 2'000;
    const auto bytes = Produce(config, packets, packets);
    std::size_t nulls = 0;
    for (std::size_t i = 0; i < packets; ++i) {
        const std::uint8_t* p = bytes.data() + i * 188;
        if (((p[1] & 0x1F) << 8 | p[2]) != 0x1FFF) continue;
        ++nulls;
        ASSERT_EQ(p[1], 0x1F);
        ASSERT_EQ(p[3], 0x10);
        ASSERT_TRUE(std::all_of(p + 4, p + 188, [](std::uint8_t b) { return b == 0xFF; })) << i;
    }
    // 2.192 of 4 Mbit/s are streams; the tables take about 1 %.
    EXPECT_NEAR(static_cast<double>(nulls) / packets, 1 - 2.192 / 4, 0.02);
}

// An SDT of many long names spans several sections, each over several packets.
TEST(TsGeneratorBytes, LongSdtSplitsIntoSectionsAcrossPackets) {
    SimStreamConfig config = MakeSimStreamConfig(77, 2, 60'000'000, 40, "Many", 5);
    for (SimServiceConfig& s : config.services) {
        s.service_name = std::string(120, 'n') + std::to_string(s.service_id);
        s.provider_name = std::string(100, 'p');
    }
    CTsGenerator generator(config);
    const std::size_t packets = 40'000;  // 1 s
    std::vector<std::uint8_t> bytes(packets * 188);
    generator.Fill(bytes.data(), packets);
    CTsPacketReader reader;
    reader.Read(bytes.data(), packets);
    ASSERT_TRUE(reader.Errors().empty()) << reader.Errors().front();

    std::map<std::uint16_t, std::string> names;
    std::set<std::uint8_t> sectionNumbers;
    std::uint8_t last = 0;
    for (const ReadSection& s : reader.Sections()) {
        if (s.pid != 0x0011) continue;
        const auto sdt = DecodeSdt(s.bytes);
        ASSERT_TRUE(sdt.has_value());
        EXPECT_LE(s.bytes.size(), 1024u);
        sectionNumbers.insert(sdt->sectionNumber);
        last = sdt->lastSectionNumber;
        for (const auto& service : sdt->services) names[service.serviceId] = service.name;
    }
    EXPECT_GE(last, 7);  // 40 entries of 235 bytes, four to a section
    EXPECT_EQ(sectionNumbers.size(), last + 1u);
    ASSERT_EQ(names.size(), 40u);
    for (const SimServiceConfig& s : config.services)
        EXPECT_EQ(names[s.service_id], s.service_name);
}

struct InvalidCase {
    const char* what;
    void (*spoil)(SimStreamConfig&);
    const char* message;
};

const InvalidCase kInvalidCases[] = {
    {"no bit rate", [](SimStreamConfig& c) { c.bit_rate = 0; }, "bit rate out of range"},
    {"PMT on SDT PID", [](SimStreamConfig& c) { c.services[0].pmt_pid = 0x0011; },
     "PMT PID 17 is reserved"},
    {"stream on null PID", [](SimStreamConfig& c) { c.services[0].streams[1].pid = 0x1FFF; },
     "stream PID 8191"},
    {"stream PID twice", [](SimStreamConfig& c) { c.services[1].streams[0].pid = 0x0101; },
     "stream PID 257 repeated"},
    {"PMT PID twice", [](SimStreamConfig& c) { c.services[1].pmt_pid = 0x0100; },
     "PMT PID repeated"},
    {"PMT on a stream", [](SimStreamConfig& c) { c.services[2].pmt_pid = 0x0102; },
     "both PMT and stream"},
    {"service id twice", [](SimStreamConfig& c) { c.services[1].service_id = 0x0065; },
     "service_id 101"},
    {"service id 0", [](SimStreamConfig& c) { c.services[0].service_id = 0; }, "service_id 0"},
    {"PCR on another's stream", [](SimStreamConfig& c) { c.services[2].pcr_pid = 0x0101; },
     "PCR PID 257 belongs"},
    {"audio too thin", [](SimStreamConfig& c) { c.services[0].streams[1].bit_rate = 100'000; },
     "bit rate below"},
    {"audio too thick", [](SimStreamConfig& c) { c.services[0].streams[1].bit_rate = 30'000'000; },
     "too high for audio"},
    {"overbooked", [](SimStreamConfig& c) { c.services[1].streams[0].bit_rate = 10'800'000; },
     "need more than the bit rate"},
    {"names too long",
     [](SimStreamConfig& c) { c.services[0].service_name = std::string(250, 'x'); },
     "names too long"},
};

TEST(TsGeneratorConfig, RejectsWhatCannotBeCarried) {
    EXPECT_NO_THROW(CTsGenerator{MixedConfig()});
    for (const InvalidCase& c : kInvalidCases) {
        SimStreamConfig config = MixedConfig();
        c.spoil(config);
        try {
            CTsGenerator generator(config);
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
                << c.what << ": " << e.what();
        }
    }
}

// ffprobe reads the programs with their SDT names, as a player would.
TEST(TsGeneratorFfprobe, FindsTheServicesByName) {
    if (std::system("command -v ffprobe >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ffprobe not installed";
    SimStreamConfig config = MixedConfig();
    config.bit_rate = 12'000'000;
    CTempFolder folder;
    const std::string file = folder.File("sim.ts");
    {
        CTsGenerator generator(config);
        const std::uint64_t packets = CTsGenerator::PacketsBefore(config.bit_rate, 10 * kHz);
        std::vector<std::uint8_t> buffer(kChunk * 188);
        std::FILE* out = std::fopen(file.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        for (std::uint64_t done = 0; done < packets; done += kChunk) {
            const std::size_t count =
                static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, packets - done));
            generator.Fill(buffer.data(), count);
            ASSERT_EQ(std::fwrite(buffer.data(), 188, count, out), count);
        }
        std::fclose(out);
    }
    const std::string command =
        "ffprobe -v error -show_entries "
        "program=program_id,pmt_pid,pcr_pid:program_tags=service_name,service_provider -of compact "
        "'" +
        file + "' 2>/dev/null";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) output += line;
    ::pclose(pipe);
    // One line per program, "program|field=value|...": compare as sets, ffprobe picks the order.
    std::vector<std::set<std::string>> programs;
    std::size_t begin = 0;
    while (begin < output.size()) {
        const std::size_t end = std::min(output.find('\n', begin), output.size());
        std::set<std::string> fields;
        for (std::size_t at = begin; at < end;) {
            const std::size_t bar = std::min(output.find('|', at), end);
            fields.insert(output.substr(at, bar - at));
            at = bar + 1;
        }
        if (fields.count("program")) programs.push_back(fields);
        begin = end + 1;
    }
    const std::vector<std::set<std::string>> expected = {
        {"program", "program_id=101", "pmt_pid=256", "pcr_pid=257", "tag:service_name=Alpha",
         "tag:service_provider=Sim"},
        {"program", "program_id=102", "pmt_pid=512", "pcr_pid=767",
         "tag:service_name=Caf\xC3\xA9 Zwei", "tag:service_provider=Sim HD"},
        {"program", "program_id=103", "pmt_pid=768", "pcr_pid=769", "tag:service_name=Radio Drei",
         "tag:service_provider=Sim"},
    };
    // Each program line holds these fields (ffprobe adds empty stream entries after them).
    for (const auto& program : expected) {
        const bool found = std::any_of(programs.begin(), programs.end(), [&](const auto& got) {
            return std::includes(got.begin(), got.end(), program.begin(), program.end());
        });
        EXPECT_TRUE(found) << *program.rbegin() << " not in:\n" << output;
    }
}

}  // namespace
