#include "services/stream_health.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "drivers/sim/sim_stream_config.h"
#include "drivers/sim/ts_generator.h"

namespace {

constexpr std::size_t kPacket = 188;
constexpr std::uint64_t kBitRate = 6'000'000;
constexpr double kSeconds = 8.0;

using Packet = std::vector<std::uint8_t>;

std::uint16_t PidOf(const Packet& packet) {
    return static_cast<std::uint16_t>(((packet[1] & 0x1F) << 8) | packet[2]);
}
bool HasPcr(const Packet& packet) {
    return (packet[3] & 0x20) != 0 && packet[4] >= 7 && (packet[5] & 0x10) != 0;
}
bool HasAdaptation(const Packet& packet) {
    return (packet[3] & 0x20) != 0;
}
bool StartsPes(const Packet& packet) {
    return (packet[1] & 0x40) != 0 && !HasAdaptation(packet) && packet[4] == 0 && packet[5] == 0 &&
           packet[6] == 1;
}
double SecondOf(std::size_t index) {
    return static_cast<double>(index * kPacket * 8) / static_cast<double>(kBitRate);
}

std::uint64_t PcrOf(const Packet& p) {
    const std::uint64_t base = (std::uint64_t{p[6]} << 25) | (std::uint64_t{p[7]} << 17) |
                               (std::uint64_t{p[8]} << 9) | (std::uint64_t{p[9]} << 1) |
                               (p[10] >> 7);
    return base * 300 + (((p[10] & 1u) << 8) | p[11]);
}
void SetPcr(Packet& p, std::uint64_t pcr) {
    const std::uint64_t base = pcr / 300;
    const std::uint64_t extension = pcr % 300;
    p[6] = static_cast<std::uint8_t>(base >> 25);
    p[7] = static_cast<std::uint8_t>(base >> 17);
    p[8] = static_cast<std::uint8_t>(base >> 9);
    p[9] = static_cast<std::uint8_t>(base >> 1);
    p[10] = static_cast<std::uint8_t>(((base & 1) << 7) | 0x7E | (extension >> 8));
    p[11] = static_cast<std::uint8_t>(extension);
}

// Eight seconds of the simulated card's stream: three services, each a test card and a tone.
const std::vector<Packet>& CleanStream() {
    static const std::vector<Packet> stream = [] {
        const SimStreamConfig config = MakeSimStreamConfig(1, 1, kBitRate, 3, "Health", 7);
        CTsGenerator generator(config);
        const auto count = static_cast<std::size_t>(kSeconds * kBitRate / (kPacket * 8));
        std::vector<std::uint8_t> bytes(count * kPacket);
        generator.Fill(bytes.data(), count);
        std::vector<Packet> packets;
        for (std::size_t at = 0; at < bytes.size(); at += kPacket)
            packets.emplace_back(bytes.begin() + at, bytes.begin() + at + kPacket);
        return packets;
    }();
    return stream;
}

struct Pids {
    std::uint16_t pcr = 0;    // the first service's PCR PID
    std::uint16_t audio = 0;  // a PID that starts PES packets and carries no PCR
    std::uint16_t video = 0;  // the PID with the most packets
    std::uint16_t pmt = 0;    // the first PMT PID
};

Pids PidsOf(const std::vector<Packet>& stream) {
    Pids pids;
    std::set<std::uint16_t> withPcr;
    for (const Packet& packet : stream)
        if (HasPcr(packet)) withPcr.insert(PidOf(packet));
    pids.pcr = *withPcr.begin();
    std::map<std::uint16_t, std::size_t> counts;
    for (const Packet& packet : stream) ++counts[PidOf(packet)];
    counts.erase(0x1FFF);
    pids.video = std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
                     return a.second < b.second;
                 })->first;
    for (const Packet& packet : stream) {
        const std::uint16_t pid = PidOf(packet);
        if (pids.audio == 0 && StartsPes(packet) && withPcr.count(pid) == 0) pids.audio = pid;
        // The PAT's first program entry after the NIT's.
        if (pids.pmt == 0 && pid == 0)
            pids.pmt = static_cast<std::uint16_t>(((packet[19] & 0x1F) << 8) | packet[20]);
    }
    return pids;
}

StreamHealth Analyse(const std::vector<Packet>& stream) {
    CStreamHealth health;
    std::vector<std::uint8_t> chunk;
    for (std::size_t i = 0; i < stream.size(); ++i) {
        chunk.insert(chunk.end(), stream[i].begin(), stream[i].end());
        if (chunk.size() >= 100 * kPacket || i + 1 == stream.size()) {
            health.Consume(chunk);
            chunk.clear();
        }
    }
    return health.Snapshot();
}

// A null packet, where a constant-rate stream has one in place of what it does not send.
void MakeNull(Packet& packet) {
    packet.assign(kPacket, 0xFF);
    packet[0] = 0x47;
    packet[1] = 0x1F;
    packet[2] = 0xFF;
    packet[3] = 0x10;
}

// The multiplexer withholds a PID's packets between two times and then goes on with the next
// continuity counter, as a source that stops sending does.
void Withhold(std::vector<Packet>& stream, std::uint16_t pid, double from, double to) {
    int withheld = 0;
    for (std::size_t i = 0; i < stream.size(); ++i) {
        Packet& packet = stream[i];
        if (PidOf(packet) != pid) continue;
        const bool payload = (packet[3] & 0x10) != 0;
        if (SecondOf(i) > from && SecondOf(i) < to) {
            withheld += payload ? 1 : 0;
            MakeNull(packet);
        } else if (SecondOf(i) >= to) {
            packet[3] =
                static_cast<std::uint8_t>((packet[3] & 0xF0) | ((packet[3] - withheld) & 0x0F));
        }
    }
}

// Each fault is injected a known number of times into the clean stream, the stream's rate kept;
// its indicator counts exactly that, and no other indicator counts anything.
TEST(StreamHealthTest, EachInjectedFaultCountsExactlyOnItsOwnIndicator) {
    struct FaultCase {
        const char* name;
        HealthIndicator indicator;  // Count: none
        std::uint64_t count;
        std::function<void(std::vector<Packet>&, const Pids&)> inject;
    };
    const auto nthWhere = [](std::vector<Packet>& stream, auto pick, std::vector<std::size_t> nths,
                             auto change) {
        std::size_t seen = 0;
        for (Packet& packet : stream) {
            if (!pick(packet)) continue;
            if (std::find(nths.begin(), nths.end(), seen++) != nths.end()) change(packet);
        }
    };
    const auto isNull = [](const Packet& p) { return PidOf(p) == 0x1FFF; };
    const std::vector<FaultCase> cases{
        {"clean", HealthIndicator::Count, 0, [](auto&, const Pids&) {}},
        {"a sync byte lost twice", HealthIndicator::SyncByte, 2,
         [&](std::vector<Packet>& s, const Pids&) {
             nthWhere(s, isNull, {100, 2000}, [](Packet& p) { p[0] = 0x48; });
         }},
        {"three packets lost", HealthIndicator::Continuity, 3,
         [&](std::vector<Packet>& s, const Pids& pids) {
             nthWhere(
                 s,
                 [&](const Packet& p) {
                     return PidOf(p) == pids.video && !HasAdaptation(p) && !StartsPes(p);
                 },
                 {10, 200, 400}, MakeNull);
         }},
        {"a stream stops for seven seconds", HealthIndicator::MissingPid, 1,
         [&](std::vector<Packet>& s, const Pids& pids) { Withhold(s, pids.audio, 1.0, 100.0); }},
        {"the PCR jumps a second", HealthIndicator::PcrDiscontinuity, 1,
         [&](std::vector<Packet>& s, const Pids& pids) {
             for (std::size_t i = 0; i < s.size(); ++i)
                 if (PidOf(s[i]) == pids.pcr && HasPcr(s[i]) && SecondOf(i) > 3.0)
                     SetPcr(s[i], PcrOf(s[i]) + 27'000'000);
         }},
        {"one PCR 4 microseconds off", HealthIndicator::PcrAccuracy, 1,
         [&](std::vector<Packet>& s, const Pids& pids) {
             nthWhere(
                 s, [&](const Packet& p) { return PidOf(p) == pids.pcr && HasPcr(p); }, {60},
                 [](Packet& p) { SetPcr(p, PcrOf(p) + 100); });
         }},
        {"five uncorrectable packets", HealthIndicator::TransportError, 5,
         [&](std::vector<Packet>& s, const Pids&) {
             nthWhere(s, isNull, {10, 20, 30, 40, 50}, [](Packet& p) { p[1] |= 0x80; });
         }},
        {"a PAT with a wrong CRC", HealthIndicator::Crc, 1,
         [&](std::vector<Packet>& s, const Pids&) {
             nthWhere(
                 s, [](const Packet& p) { return PidOf(p) == 0; }, {20},
                 [](Packet& p) { p[16] ^= 0xFF; });
         }},
        {"no PAT for a second", HealthIndicator::Pat, 1,
         [&](std::vector<Packet>& s, const Pids&) { Withhold(s, 0, 2.0, 3.0); }},
        {"no PMT for a second", HealthIndicator::Pmt, 1,
         [&](std::vector<Packet>& s, const Pids& pids) { Withhold(s, pids.pmt, 2.0, 3.0); }},
        {"no PTS for a second", HealthIndicator::PtsRepetition, 1,
         [&](std::vector<Packet>& s, const Pids& pids) {
             for (std::size_t i = 0; i < s.size(); ++i)
                 if (PidOf(s[i]) == pids.audio && StartsPes(s[i]) && SecondOf(i) > 2.0 &&
                     SecondOf(i) < 3.0)
                     s[i][11] &= 0x3F;  // PTS_DTS_flags off
         }},
    };
    const Pids pids = PidsOf(CleanStream());
    ASSERT_NE(pids.audio, 0);
    ASSERT_NE(pids.pmt, 0);
    for (const FaultCase& c : cases) {
        std::vector<Packet> stream = CleanStream();
        c.inject(stream, pids);
        const StreamHealth health = Analyse(stream);
        for (std::size_t i = 0; i < kHealthIndicators; ++i) {
            const auto indicator = static_cast<HealthIndicator>(i);
            EXPECT_EQ(health[indicator].count, indicator == c.indicator ? c.count : 0u)
                << c.name << ": " << IndicatorName(indicator);
        }
    }
}

// The clean stream: its rate is the generator's, the PIDs' shares add up to the whole, each
// elementary stream is named with its service and type, and a reset counts from zero again.
TEST(StreamHealthTest, ACleanStreamIsMeasuredAndNamed) {
    CStreamHealth analyser;
    std::vector<std::uint8_t> bytes;
    for (const Packet& packet : CleanStream())
        bytes.insert(bytes.end(), packet.begin(), packet.end());
    analyser.Consume(bytes);
    StreamHealth health = analyser.Snapshot();
    ASSERT_TRUE(health.bitRate.has_value());
    EXPECT_NEAR(*health.bitRate, static_cast<double>(kBitRate), kBitRate * 0.001);
    double shares = 0;
    std::map<std::uint16_t, int> elementaryPerService;
    for (const PidHealth& pid : health.pids) {
        shares += pid.share;
        EXPECT_FALSE(pid.scrambled);
        if (pid.streamType) ++elementaryPerService[*pid.service];
    }
    EXPECT_NEAR(shares, 1.0, 1e-9);
    EXPECT_EQ(elementaryPerService.size(), 3u);
    for (const auto& [service, streams] : elementaryPerService) EXPECT_EQ(streams, 2) << service;
    analyser.ResetCounts();
    health = analyser.Snapshot();
    EXPECT_EQ(health.packets, 0u);
}

}  // namespace
