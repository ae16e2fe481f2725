// Load test B: one hour of a 100 Mbit/s carrier (about 45 GB) recorded through the program's own
// path: simulated capture filter -> infinite pin tee -> sink filter -> record file, in the tuner
// graph that BuildTunerGraph builds, tuned by LockTransponder, recorded by StartRecording and
// StopRecording. The record file is a named pipe whose reader keeps only a checksum, so nothing
// is stored. The card's clock runs in manual mode, as fast as the machine generates and moves the
// stream; the stream is then generated again, independently of the graph, from the plan the card
// locked with (same configuration, same seed), and both checksums and byte counts must agree.
//
// Usage: load_record_hour [--seconds=N] (stream seconds, default 3600) [GoogleTest flags]
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "drivers/sim/sim_capture_filter.h"
#include "drivers/sim/sim_capture_output_pin.h"
#include "drivers/sim/sim_device_provider.h"
#include "drivers/sim/sim_stream_source.h"
#include "drivers/sim/ts_generator.h"
#include "graph/bda_graph.h"
#include "graph/driver_control.h"
#include "graph/tuner_page.h"
#include "graph/tuner_session.h"
#include "graph/tuning.h"
#include "load/fifo_checksum_reader.h"
#include "load/load_options.h"
#include "load/load_test_environment.h"
#include "load/stream_hash.h"
#include "record/recording.h"
#include "sink/record_file.h"
#include "support/hundred_megabit_carrier.h"

namespace {

std::uint64_t g_nStreamSeconds = 3600;
constexpr std::uint64_t kStepMs = 100;
constexpr std::uint64_t kReportEverySeconds = 600;
constexpr std::uint64_t kSampleBytes = CSimCaptureOutputPin::kSampleBytes;

// The Tuner Setting page's entries for that carrier, without the page: what LockTransponder
// reads. Its settings file is of no interest here.
class CFixedTunerPage : public ITunerPage {
public:
    std::string FieldText(TunerField field) const override {
        switch (field) {
            case TunerField::Frequency:
                return "12000";
            case TunerField::SymbolRate:
                return "27000";
            case TunerField::LnbLow:
                return "9750";
            case TunerField::LnbHigh:
                return "10600";
            case TunerField::LnbSwitch:
                return "11700";
        }
        return "";
    }
    std::int32_t PolarityIndex() const override { return 0; }    // Horizontal
    std::int32_t DiseqcPortIndex() const override { return 2; }  // Diseqc B
    StreamTypeRecord StreamType() const override { return kTransportStreamType; }
    void SetLnbSwitch(std::int32_t) override {}
    void SaveSettings() override {}
    void EnableTuneButtons(bool) override {}
    void ShowTuneResult(const TuneResult& result) override { m_results.push_back(result); }

    // What each "Lock TP" would have told the user.
    std::vector<TuneResult> m_results;
};

std::string Narrow(std::wstring_view text) {
    return std::string(text.begin(), text.end());
}

double Seconds(std::chrono::steady_clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

// Texts of the reports, for a failure message.
std::string Texts(const DriverReports& reports) {
    std::string texts;
    for (const DriverReport& report : reports) texts += "[" + report.text + "] ";
    return texts;
}

// Releases the graph however the test ends, so the sink's streaming thread is gone before the
// card and its clock.
struct CGraphRelease {
    CTunerSession& session;
    ~CGraphRelease() { session.ReleaseGraph(); }
};

// Stops the recording (a second stop changes nothing), so that the pipe's reader sees the end.
struct CRecordingStop {
    CTunerSession& session;
    ~CRecordingStop() { StopRecording(session); }
};

TEST(RecordHourLoad, TheRecordGetsEveryByteTheCardGeneratedForAnHourAt100Mbits) {
    CLoadTestEnvironment environment;
    SimOptions options;
    options.noise = 0;
    CSimDeviceProvider provider(options, CSimClock::Mode::Manual,
                                CSimSky({HundredMegabitCarrier("Load")}));
    CSimCard& card = provider.Card(0);
    CTunerSession session;
    session.SelectDevice(0, Narrow(card.Profile().friendlyName));

    CGraphRelease release{session};
    DriverReports reports;
    ASSERT_EQ(
        session.m_BDAGraph.BuildTunerGraph(session.DeviceIndex(), session.DeviceName(), reports),
        kBuildOk);
    ASSERT_EQ(AcquireDriverControl(session, reports), DriverControlResult::Acquired);
    EXPECT_TRUE(reports.empty()) << Texts(reports);
    auto* capture = dynamic_cast<CSimCaptureFilter*>(session.m_BDAGraph.m_pReceiverDevice.Get());
    ASSERT_NE(capture, nullptr) << "the graph's capture filter is the simulated card's";

    CFixedTunerPage page;
    LockTransponder(session, page);
    ASSERT_EQ(page.m_results.size(), 1u);
    EXPECT_TRUE(page.m_results[0].errors.empty()) << page.m_results[0].errors.front().text;
    EXPECT_TRUE(page.m_results[0].driverReports.empty()) << Texts(page.m_results[0].driverReports);
    provider.Clock().AdvanceMs(300);  // the card's acquisition time
    ASSERT_TRUE(card.IsLocked());
    const SimStreamPlan plan = card.StreamPlan();
    ASSERT_EQ(plan.output, SimOutput::Transport);
    ASSERT_TRUE(plan.config);
    ASSERT_EQ(plan.epoch, provider.Clock().Now()) << "the stream starts now, with the recording";
    ASSERT_EQ(capture->OutputPin()->SamplesDelivered(), 0u);
    std::printf("carrier locked: useful bit rate %.3f Mbit/s\n",
                static_cast<double>(plan.bitRate) / 1e6);

    // The record file is the pipe: the record file writer must take it (no truncation of a
    // non-regular file, the exclusive lock works on a pipe too).
    CFifoChecksumReader reader(environment.File("record.ts"));
    CRecordingStop stopFirst{session};  // a failed assertion must not leave the reader waiting
    SetRecordFilePath(session, reader.Path());
    // The writer's open fails at once (ENXIO) until the reader's thread has reached its open();
    // the card's clock stands still meanwhile, so no sample is due before the file is open.
    int startError = StartRecording(session);
    for (int attempt = 0; startError == ENXIO && attempt < 500; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        startError = StartRecording(session);
    }
    ASSERT_EQ(startError, 0) << std::strerror(startError);
    ASSERT_TRUE(session.m_Record.m_RecordFile.IsOpen());
    {
        CRecordFile second;
        EXPECT_FALSE(second.Open(reader.Path())) << "a second opener of the pipe is refused";
        EXPECT_EQ(second.OpenError(), EWOULDBLOCK);
    }

    const auto start = std::chrono::steady_clock::now();
    const std::uint64_t steps = g_nStreamSeconds * 1000 / kStepMs;
    for (std::uint64_t step = 1; step <= steps; ++step) {
        provider.Clock().AdvanceMs(kStepMs);
        if (step * kStepMs % (kReportEverySeconds * 1000) == 0) {
            std::printf("  stream %llu s: %.2f GB recorded after %.1f s\n",
                        static_cast<unsigned long long>(step * kStepMs / 1000),
                        static_cast<double>(reader.BytesSoFar()) / 1e9,
                        Seconds(std::chrono::steady_clock::now() - start));
            std::fflush(stdout);
        }
    }
    EXPECT_EQ(GetRecordWriteError(session), 0);
    StopRecording(session);
    const CFifoChecksumReader::Result recorded = reader.Finish();
    const double recordSeconds = Seconds(std::chrono::steady_clock::now() - start);

    // What the card had to deliver: every whole sample of the packets due in the stream time.
    const std::uint64_t streamTicks = provider.Clock().Now() - plan.epoch;
    const std::uint64_t samples = capture->OutputPin()->SamplesDelivered();
    EXPECT_EQ(samples, CTsGenerator::PacketsBefore(plan.bitRate, streamTicks) /
                           CSimCaptureOutputPin::kSamplePackets);
    EXPECT_EQ(recorded.error, 0) << std::strerror(recorded.error);
    EXPECT_EQ(recorded.bytes, samples * kSampleBytes);
    EXPECT_EQ(recorded.badSyncBytes, 0u);

    // The same stream once more, straight from the generator with the plan's configuration.
    const auto regenerateStart = std::chrono::steady_clock::now();
    CSimStreamSource source(plan.output, *plan.config);
    CStreamHash expected;
    std::vector<std::uint8_t> sample(kSampleBytes);
    for (std::uint64_t i = 0; i < samples; ++i) {
        source.Fill(sample.data(), CSimCaptureOutputPin::kSamplePackets);
        expected.Update(sample.data(), sample.size());
    }
    const double regenerateSeconds = Seconds(std::chrono::steady_clock::now() - regenerateStart);
    EXPECT_EQ(recorded.digest, expected.Digest()) << "the record differs from the generated stream";
    EXPECT_EQ(expected.Bytes(), recorded.bytes);
    EXPECT_TRUE(environment.Boxes().Texts().empty())
        << ::testing::PrintToString(environment.Boxes().Texts());

    std::printf(
        "record: %llu s of stream, %llu bytes (%.2f GB, %llu samples) through the pipe in %.1f s "
        "(%.0f MB/s, %.0fx real time)\n",
        static_cast<unsigned long long>(streamTicks / CSimClock::kTicksPerSecond),
        static_cast<unsigned long long>(recorded.bytes), static_cast<double>(recorded.bytes) / 1e9,
        static_cast<unsigned long long>(samples), recordSeconds,
        static_cast<double>(recorded.bytes) / 1e6 / recordSeconds,
        static_cast<double>(streamTicks) / CSimClock::kTicksPerSecond / recordSeconds);
    std::printf("checksums: record %016llx, generator %016llx (%s); regeneration took %.1f s\n",
                static_cast<unsigned long long>(recorded.digest),
                static_cast<unsigned long long>(expected.Digest()),
                recorded.digest == expected.Digest() ? "match" : "DIFFER", regenerateSeconds);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (const auto seconds = CountOption(argv[i], "seconds")) {
            g_nStreamSeconds = *seconds;
        } else {
            std::fprintf(stderr, "usage: %s [--seconds=N] [GoogleTest flags]\n", argv[0]);
            return 2;
        }
    }
    return RUN_ALL_TESTS();
}
