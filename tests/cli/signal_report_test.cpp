#include "cli/signal_report.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using cli::SignalReport;

// 8PSK 2/3 as the simulated card reports it: DVB-S2, MODCOD 13.
MediaInfoRecord Psk8TwoThirds() {
    MediaInfoRecord carrier;
    carrier.standard = 1;
    carrier.modCode = 13;
    return carrier;
}

// What a script reads: every field named, unknown values null, numbers as numbers; and the same
// reading on one line of text.
TEST(SignalReportTest, EachReadingIsOneJsonObjectAndOneLine) {
    struct Case {
        const char* name;
        SignalReport report;
        std::string json;
        std::string lockLine;
    };
    SignalReport locked;
    locked.reading = SignalReading{70, 81, 1};
    locked.measure.ok = true;
    locked.measure.carrierToNoiseDb = 14.2;
    locked.measure.bitErrorRate = 0.0;
    locked.measure.uncorrectedBlocks = 3;
    locked.carrier = Psk8TwoThirds();
    locked.carrierTexts = {{"standard", "DVB-S2"}, {"fec", "2/3"}, {"matype", "F0 \"00\""}};
    SignalReport unlocked;
    unlocked.reading = SignalReading{0, 12, 0};
    unlocked.measure.carrierToNoiseDb = -2.5;
    SignalReport failed;
    failed.reading.locked = 255;
    const Case cases[] = {
        {"locked", locked,
         "{\"lock\":true,\"strength\":81,\"quality\":70,\"cn_db\":14.20,\"needed_cn_db\":6.62,"
         "\"margin_db\":7.58,\"level_dbm\":null,\"ber\":0.000e+00,\"unc\":3,\"modcod\":\"DVB-S2 "
         "8PSK 2/3\",\"carrier\":{\"standard\":\"DVB-S2\",\"modulation\":null,\"fec\":\"2/3\","
         "\"roll_off\":null,\"pilots\":null,\"frame_length\":null,\"symbol_rate\":null,"
         "\"if_frequency_khz\":null,\"input_stream\":null,\"input_stream_id\":null,"
         "\"coding_modulation\":null,\"input_synchro\":null,\"null_packet_deletion\":null,"
         "\"stream_type\":null,\"matype\":\"F0 \\\"00\\\"\",\"spectrum\":null}}",
         "locked, C/N 14.2 dB, margin +7.6 dB, DVB-S2 8PSK 2/3"},
        {"unlocked", unlocked,
         "{\"lock\":false,\"strength\":12,\"quality\":0,\"cn_db\":-2.50,\"needed_cn_db\":null,"
         "\"margin_db\":null,\"level_dbm\":null,\"ber\":null,\"unc\":null,\"modcod\":null,"
         "\"carrier\":null}",
         "not locked, C/N -2.5 dB, margin no lock, no lock"},
        {"failed poll", failed,
         "{\"lock\":null,\"strength\":null,\"quality\":null,\"cn_db\":null,\"needed_cn_db\":null,"
         "\"margin_db\":null,\"level_dbm\":null,\"ber\":null,\"unc\":null,\"modcod\":null,"
         "\"carrier\":null}",
         "lock unknown, C/N not reported, margin no lock, no lock"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(cli::StatusJson(c.report), c.json) << c.name;
        EXPECT_EQ(cli::LockLine(c.report), c.lockLine) << c.name;
    }
    // With the stream's health: its rate, each counter by name, and what is in error now.
    SignalReport withStream = unlocked;
    withStream.stream = StreamHealth{};
    withStream.stream->bitRate = 42.5e6;
    withStream.stream->packets = 1000;
    withStream.stream->indicators[static_cast<std::size_t>(HealthIndicator::Continuity)].count = 3;
    withStream.stream->indicators[static_cast<std::size_t>(HealthIndicator::Pat)] = {1, true};
    EXPECT_EQ(cli::StatusJson(withStream).substr(cli::StatusJson(unlocked).size() - 1),
              ",\"stream\":{\"bit_rate\":42500000,\"packets\":1000,\"pids\":0,\"errors\":{"
              "\"sync\":0,\"pat\":1,\"cc\":3,\"pmt\":0,\"missing_pid\":0,\"transport_error\":0,"
              "\"crc\":0,\"pcr_repetition\":0,\"pcr_discontinuity\":0,\"pcr_accuracy\":0,"
              "\"pts_repetition\":0},\"in_error\":[\"pat\"]}}");
    EXPECT_EQ(cli::StatusLine(withStream).substr(cli::StatusLine(unlocked).size()),
              ", stream 42.5 Mbit/s, PAT 1 (now), CC 3");
    EXPECT_EQ(cli::StatusLine(locked),
              "locked, strength 81 %, quality 70 %, C/N 14.2 dB, needed 6.6 dB, margin +7.6 dB, "
              "level not reported, BER 0, UNC 3, DVB-S2 8PSK 2/3, standard DVB-S2, fec 2/3, "
              "matype F0 \"00\"");
}

}  // namespace
