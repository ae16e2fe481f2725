// What the Stream Health page makes of a stream's health: when a light may be judged and what it
// says, the PID rows, the rate against the carrier's, and the CSV file.
#include "pages/health/health_texts.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using health_texts::Light;

StreamHealth WithCounts(std::uint64_t packets, std::optional<double> bitRate) {
    StreamHealth health;
    health.packets = packets;
    health.bitRate = bitRate;
    return health;
}

StreamHealth With(StreamHealth health, HealthIndicator indicator, std::uint64_t count,
                  bool inError = false) {
    health.indicators[static_cast<std::size_t>(indicator)] = {count, inError};
    return health;
}

// A light is grey until something can judge it, red with an error since the reset or one that
// lasts, green otherwise; the words say the same without the colour.
TEST(HealthTextsTest, LightsAndTheirWords) {
    const StreamHealth nothing = WithCounts(0, std::nullopt);
    const StreamHealth noClockYet = WithCounts(1000, std::nullopt);
    const StreamHealth timed = WithCounts(100'000, 38e6);
    const StreamHealth afterReset = WithCounts(0, 38e6);
    struct Case {
        const char* what;
        StreamHealth health;
        HealthIndicator indicator;
        Light light;
        std::string text;
        std::string spoken;
    };
    using enum HealthIndicator;
    const Case cases[] = {
        {"no stream", nothing, SyncByte, Light::Unknown, "Sync: -", "Sync: not judged yet"},
        {"packets, no PCR rate: counted from the first packet", noClockYet, Continuity, Light::Good,
         "CC: 0", "CC: 0 errors"},
        {"packets, no PCR rate: time not known", noClockYet, Pat, Light::Unknown, "PAT: -",
         "PAT: not judged yet"},
        {"an error before the rate is known", With(noClockYet, PcrAccuracy, 2), PcrAccuracy,
         Light::Bad, "PCR accuracy: 2", "PCR accuracy: 2 errors"},
        {"timed and clean", timed, PtsRepetition, Light::Good, "PTS repetition: 0",
         "PTS repetition: 0 errors"},
        {"one error", With(timed, Continuity, 1), Continuity, Light::Bad, "CC: 1", "CC: 1 error"},
        {"three errors", With(timed, TransportError, 3), TransportError, Light::Bad,
         "Transport error: 3", "Transport error: 3 errors"},
        {"in error now", With(timed, MissingPid, 1, true), MissingPid, Light::Bad, "Missing PID: 1",
         "Missing PID: 1 error, in error now"},
        {"reset, still in error", With(afterReset, MissingPid, 0, true), MissingPid, Light::Bad,
         "Missing PID: 0", "Missing PID: 0 errors, in error now"},
        {"reset: the rate is still known", afterReset, Pmt, Light::Good, "PMT: 0", "PMT: 0 errors"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(health_texts::LightOf(c.health, c.indicator), c.light);
        EXPECT_EQ(health_texts::LightText(c.health, c.indicator), c.text);
        EXPECT_EQ(health_texts::SpokenText(c.health, c.indicator), c.spoken);
    }
}

PidHealth Pid(std::uint16_t pid, double share, std::optional<std::uint16_t> service,
              std::optional<std::uint8_t> streamType, bool psi = false) {
    PidHealth entry;
    entry.pid = pid;
    entry.share = share;
    entry.service = service;
    entry.streamType = streamType;
    entry.psi = psi;
    return entry;
}

// The tables of a small multiplex: the PAT, a PMT, a video with its PCR and CC errors, a
// scrambled audio, a PID no table names, and the null packets.
StreamHealth SmallMultiplex(std::optional<double> bitRate) {
    StreamHealth health = WithCounts(1000, bitRate);
    health.indicators[static_cast<std::size_t>(HealthIndicator::Continuity)] = {2, false};
    health.pids = {Pid(0x0000, 0.01, std::nullopt, std::nullopt, true),
                   Pid(0x0100, 0.01, 28006, std::nullopt, true),
                   Pid(0x0101, 0.6, 28006, 0x02),
                   Pid(0x0102, 0.05, 28006, 0x04),
                   Pid(0x0777, 0.03, std::nullopt, std::nullopt),
                   Pid(0x1FFF, 0.3, std::nullopt, std::nullopt)};
    health.pids[2].continuityErrors = 2;
    health.pids[2].carriesPcr = true;
    health.pids[3].scrambled = true;
    return health;
}

TEST(HealthTextsTest, PidRowsGiveEachPidItsShareOfTheRate) {
    using Row = health_texts::PidRow;
    EXPECT_EQ(health_texts::PidRows(SmallMultiplex(40e6)),
              (std::vector<Row>{
                  {"0 (0x0000)", "-", "PAT", "0.400", "1.00", "0", "no", "no"},
                  {"256 (0x0100)", "28006", "PMT", "0.400", "1.00", "0", "no", "no"},
                  {"257 (0x0101)", "28006", "MPEG-2 video", "24.000", "60.00", "2", "no", "yes"},
                  {"258 (0x0102)", "28006", "MPEG audio", "2.000", "5.00", "0", "yes", "no"},
                  {"1911 (0x0777)", "-", "-", "1.200", "3.00", "0", "no", "no"},
                  {"8191 (0x1FFF)", "-", "Null packets", "12.000", "30.00", "0", "no", "no"},
              }));
    EXPECT_EQ(health_texts::PidRows(SmallMultiplex(std::nullopt))[2][3], "-")
        << "no rate before the PCRs tell it";
}

TEST(HealthTextsTest, TheRateAgainstTheCarriersUsefulRate) {
    EXPECT_EQ(health_texts::RateText(38'012'000.0, 38'024'000.0), "38.01 of 38.02 Mbit/s useful");
    EXPECT_EQ(health_texts::RateText(38'012'000.0, std::nullopt), "38.01 Mbit/s");
    EXPECT_EQ(health_texts::RateText(std::nullopt, 38'024'000.0), "not known yet");
}

TEST(HealthTextsTest, TheCsvHoldsTheIndicatorsThenThePids) {
    StreamHealth health = SmallMultiplex(40e6);
    health.pids.resize(3);
    health.indicators[static_cast<std::size_t>(HealthIndicator::MissingPid)] = {1, true};
    EXPECT_EQ(health_texts::Csv(health),
              "Indicator,Count,In error now\r\n"
              "Sync,0,no\r\n"
              "PAT,0,no\r\n"
              "CC,2,no\r\n"
              "PMT,0,no\r\n"
              "Missing PID,1,yes\r\n"
              "Transport error,0,no\r\n"
              "CRC,0,no\r\n"
              "PCR repetition,0,no\r\n"
              "PCR discontinuity,0,no\r\n"
              "PCR accuracy,0,no\r\n"
              "PTS repetition,0,no\r\n"
              "\r\n"
              "PID,PID (hex),Service,Stream type,Bit rate (bit/s),Share (%),CC errors,Scrambled,"
              "PCR\r\n"
              "0,0x0000,,PAT,400000,1.000,0,no,no\r\n"
              "256,0x0100,28006,PMT,400000,1.000,0,no,no\r\n"
              "257,0x0101,28006,MPEG-2 video,24000000,60.000,2,no,yes\r\n");
    health.bitRate.reset();
    EXPECT_NE(health_texts::Csv(health).find("\r\n257,0x0101,28006,MPEG-2 video,,60.000,"),
              std::string::npos)
        << "an empty field for a rate not known";
}

}  // namespace
