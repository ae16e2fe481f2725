// The elementary streams inside the generated transport stream: the test card's pictures and the
// tone's frames, whole, in order, on time. Read here from the packets with a small PES collector
// of the test's own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "drivers/sim/mp2_tone_frame.h"
#include "drivers/sim/sim_stream_config.h"
#include "drivers/sim/test_card_video.h"
#include "drivers/sim/ts_generator.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Pes {
    std::uint64_t firstPacket = 0;
    std::uint64_t lastPacket = 0;
    std::uint64_t pts = 0;
    std::uint16_t length = 0;  // PES_packet_length
    Bytes payload;
};

// PES of the given PIDs, complete or not (the last of each PID may be cut off).
std::map<std::uint16_t, std::vector<Pes>> CollectPes(const Bytes& ts,
                                                     const std::set<std::uint16_t>& pids) {
    std::map<std::uint16_t, std::vector<Pes>> out;
    for (std::uint64_t k = 0; k * 188 < ts.size(); ++k) {
        const std::uint8_t* p = ts.data() + k * 188;
        const auto pid = static_cast<std::uint16_t>((p[1] & 0x1F) << 8 | p[2]);
        if (!pids.count(pid) || !(p[3] & 0x10)) continue;  // not ours, or no payload
        std::size_t at = (p[3] & 0x20) ? 5u + p[4] : 4u;
        auto& list = out[pid];
        if (p[1] & 0x40) {
            Pes pes;
            pes.firstPacket = k;
            pes.length = static_cast<std::uint16_t>(p[at + 4] << 8 | p[at + 5]);
            const std::uint8_t* t = p + at + 9;
            pes.pts = (std::uint64_t{t[0]} >> 1 & 7) << 30 | std::uint64_t{t[1]} << 22 |
                      (std::uint64_t{t[2]} >> 1) << 15 | std::uint64_t{t[3]} << 7 | t[4] >> 1;
            at += 9u + p[at + 8];
            list.push_back(pes);
        }
        if (list.empty()) continue;
        list.back().lastPacket = k;
        list.back().payload.insert(list.back().payload.end(), p + at, p + 188);
    }
    return out;
}

struct Stream {
    SimStreamConfig config;
    std::uint64_t firstPacket = 0;
    std::map<std::uint16_t, std::vector<Pes>> pes;
};

Stream Generate(SimStreamConfig config, double seconds, std::uint64_t firstPacket = 0) {
    Stream s;
    s.config = std::move(config);
    s.firstPacket = firstPacket;
    CTsGenerator generator(s.config, firstPacket);
    const auto packets =
        static_cast<std::size_t>(static_cast<double>(s.config.bit_rate) * seconds / 1504.0);
    Bytes ts(packets * 188);
    generator.Fill(ts.data(), packets);
    std::set<std::uint16_t> pids;
    for (const SimServiceConfig& service : s.config.services) {
        for (const SimElementaryStream& e : service.streams) pids.insert(e.pid);
    }
    s.pes = CollectPes(ts, pids);
    return s;
}

// One service at the least rate its pictures may have: each second's I-picture is several times
// its frame's share and runs into the following ones.
SimStreamConfig Narrow() {
    SimStreamConfig c = MakeSimStreamConfig(7, 1, 1'000'000, 1, "Narrow", 3);
    c.services[0].streams[0].bit_rate = CTsGenerator::kTestCardMinimumRate;
    c.bit_rate = 600'000;
    return c;
}

SimStreamConfig DvbS() {
    return MakeSimStreamConfig(1101, 1, 38'014'706, 8, "Sky", 11);
}

// GOP time code of an I-picture's PES: hours, minutes, seconds.
std::uint32_t TimeCodeSeconds(const Bytes& payload) {
    // Sequence header 12 bytes, sequence extension 10, then the GOP header.
    const std::uint8_t* g = payload.data() + 22;
    EXPECT_EQ(Bytes(g, g + 4), Bytes({0x00, 0x00, 0x01, 0xB8}));
    const std::uint32_t bits =
        std::uint32_t{g[4]} << 24 | std::uint32_t{g[5]} << 16 | std::uint32_t{g[6]} << 8 | g[7];
    const std::uint32_t hours = bits >> 26 & 0x1F;
    const std::uint32_t minutes = bits >> 20 & 0x3F;
    const std::uint32_t seconds = bits >> 13 & 0x3F;
    return hours * 3600 + minutes * 60 + seconds;
}

bool OpensSequence(const Bytes& payload) {
    return payload.size() > 4 && payload[0] == 0 && payload[1] == 0 && payload[2] == 1 &&
           payload[3] == 0xB3;
}

struct Case {
    const char* name;
    SimStreamConfig (*make)();
    double seconds;
    std::uint64_t firstPacket;
};

const Case kCases[] = {
    {"narrow", Narrow, 10, 0},
    {"DVB-S", DvbS, 4, 0},
    {"DVB-S joined after 3.7 s", DvbS, 4, 93'520},
    {"DVB-S joined after 26.5 h", DvbS, 3, 2'413'833'000},  // past the 33-bit PTS wrap
};

// Each picture is whole in its PES, followed by zero stuffing only; an I-picture (with sequence
// and GOP headers, the GOP's time code that of its PTS) comes first and whenever the PTS enters
// a new second, and every time where the rate allows; the whole PES is in before its PTS, also
// where pictures spill past their share.
TEST(TestCardStream, PicturesComeWholeAndInTimeWithAnIPictureEachSecond) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const Stream s = Generate(c.make(), c.seconds, c.firstPacket);
        const std::uint64_t origin =
            CTsGenerator::PacketTime(s.config.bit_rate, c.firstPacket) / 300;
        for (const SimServiceConfig& service : s.config.services) {
            const SimElementaryStream& video = service.streams[0];
            ASSERT_EQ(video.stream_type, 0x02);
            const std::vector<Pes>& list = s.pes.at(video.pid);
            ASSERT_GE(list.size(), static_cast<std::size_t>(c.seconds * 25) - 15);
            CTestCardVideo reference(service.service_name, video.bit_rate);
            std::uint64_t longest = 0;
            for (std::size_t i = 0; i + 1 < list.size(); ++i) {
                const Pes& pes = list[i];
                // Unwrapped presentation time: the stream's clock at the join, plus the delay.
                const std::uint64_t presentation = origin + i * 3600 + 45'000;
                ASSERT_EQ(pes.pts, presentation & ((std::uint64_t{1} << 33) - 1)) << i;
                const bool newSecond =
                    i == 0 || presentation / 90'000 != (presentation - 3600) / 90'000;
                const bool intraOnly = video.bit_rate >= CTestCardVideo::kIntraOnlyRate;
                ASSERT_EQ(OpensSequence(pes.payload), intraOnly || newSecond)
                    << service.service_name << " " << i;
                if (newSecond) {
                    EXPECT_EQ(TimeCodeSeconds(pes.payload), presentation / 90'000 % 86'400) << i;
                }
                const auto picture = reference.Picture(presentation);
                ASSERT_GE(pes.payload.size(), picture.size());
                ASSERT_TRUE(std::equal(picture.begin(), picture.end(), pes.payload.begin())) << i;
                ASSERT_TRUE(
                    std::all_of(pes.payload.begin() + static_cast<std::ptrdiff_t>(picture.size()),
                                pes.payload.end(), [](std::uint8_t b) { return b == 0; }))
                    << i;
                // The last byte is in when the packet after it starts.
                const std::uint64_t arrived =
                    CTsGenerator::PacketTime(s.config.bit_rate,
                                             c.firstPacket + pes.lastPacket + 1) /
                    300;
                ASSERT_LE(arrived, presentation) << service.service_name << " PES " << i;
                longest = std::max(longest, pes.lastPacket - pes.firstPacket);
            }
            // The narrow carrier's I-pictures take several frames' time: they did spill.
            if (std::string(c.name) == "narrow") {
                EXPECT_GT(static_cast<double>(longest),
                          3.0 * static_cast<double>(s.config.bit_rate) * 0.04 / 1504);
            }
        }
    }
}

TEST(TestCardStream, AudioPesCarryOneToneFrameEachAtTheRateItTakes) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const Stream s = Generate(c.make(), c.seconds, c.firstPacket);
        const std::uint64_t origin =
            CTsGenerator::PacketTime(s.config.bit_rate, c.firstPacket) / 300;
        for (const SimServiceConfig& service : s.config.services) {
            const SimElementaryStream& audio = service.streams[1];
            const std::vector<Pes>& list = s.pes.at(audio.pid);
            ASSERT_NEAR(static_cast<double>(list.size()), c.seconds / 0.024, 2.0);
            for (std::size_t i = 0; i + 1 < list.size(); ++i) {
                const Pes& pes = list[i];
                ASSERT_EQ(pes.length, 8 + 288) << i;  // header extension with PTS, one frame
                ASSERT_TRUE(std::equal(kMp2ToneFrame.begin(), kMp2ToneFrame.end(),
                                       pes.payload.begin(), pes.payload.end()))
                    << i;
                if (i > 0) {
                    ASSERT_EQ((pes.pts - list[i - 1].pts) & ((std::uint64_t{1} << 33) - 1), 2160u);
                }
                const std::uint64_t arrived =
                    CTsGenerator::PacketTime(s.config.bit_rate,
                                             c.firstPacket + pes.lastPacket + 1) /
                    300;
                ASSERT_LE(arrived, origin + i * 2160 + 45'000) << i;
            }
        }
    }
    EXPECT_EQ(CTsGenerator::ToneStreamRate(), 125'334u);  // two packets every 24 ms
}

}  // namespace
