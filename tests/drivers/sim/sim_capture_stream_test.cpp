// The transport stream the simulated capture filter delivers, read back apart from the generator.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>

#include "drivers/sim/sim_capture_output_pin.h"
#include "drivers/sim/sim_carrier_math.h"
#include "drivers/sim/sim_stream_source.h"
#include "drivers/sim/sim_test_rig.h"
#include "drivers/sim/ts_generator.h"
#include "drivers/sim/ts_packet_reader.h"
#include "platform/ks/vendor_property_sets.h"

namespace {

constexpr std::uint64_t kLockMs = 300;

struct Capture {
    std::vector<std::uint8_t> bytes;
    std::uint64_t bitRate = 0;
    std::uint64_t nowTicks = 0;
    std::vector<SdtService> services;
    std::vector<LONG> lengths;
};

Capture Record(std::size_t card, char port, const SimTune& tune, std::uint64_t milliseconds,
               std::vector<std::uint8_t> streamType = {1, 0}) {
    CSimTestRig rig(card);
    if (rig.Card().Profile().carrier == SimPropertyCarrier::PciE) {
        EXPECT_EQ(rig.SetRecord(KSPROPSETID_BdaExt, KSPROPERTY_BDA_STREAMTYPE_PARAMS, streamType),
                  S_OK);
    }
    EXPECT_EQ(rig.SendCommittedSwitch(port, tune), S_OK);
    EXPECT_EQ(rig.Tune(tune), S_OK);
    EXPECT_EQ(rig.Run(), S_OK);
    rig.Clock().AdvanceMs(milliseconds);
    Capture capture;
    capture.bytes = rig.TakeBytes();
    capture.nowTicks = rig.Clock().Now();
    capture.services = rig.Services();
    capture.lengths = rig.SampleLengths();
    const auto carrier = rig.Card().LockedCarrier();
    EXPECT_TRUE(carrier);
    if (carrier)
        capture.bitRate =
            static_cast<std::uint64_t>(std::llround(*sim::CarrierUsefulBitRate(*carrier)));
    return capture;
}

class SimCaptureStream : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_pCapture = std::make_unique<Capture>(Record(0, 'B', SimTune{11362, 'H', 22000}, 4000));
    }
    static void TearDownTestSuite() { s_pCapture.reset(); }
    static std::unique_ptr<Capture> s_pCapture;
};

std::unique_ptr<Capture> SimCaptureStream::s_pCapture;

TEST_F(SimCaptureStream, DeliversExactlyTheWholeSamplesDueByTheCardsClock) {
    const Capture& capture = *s_pCapture;
    ASSERT_GT(capture.bitRate, 40'000'000u);
    const std::uint64_t due = CTsGenerator::PacketsBefore(
        capture.bitRate, capture.nowTicks - kLockMs * CSimClock::kTicksPerMs);
    const std::uint64_t whole =
        due / CSimCaptureOutputPin::kSamplePackets * CSimCaptureOutputPin::kSamplePackets;
    EXPECT_EQ(capture.bytes.size(), whole * 188);
    for (const LONG length : capture.lengths) ASSERT_EQ(length, 65424);
    // Within 1 % of the carrier's useful bit rate over the time since lock.
    const double seconds =
        static_cast<double>(capture.nowTicks) / CSimClock::kTicksPerSecond - kLockMs / 1000.0;
    const double rate = capture.bytes.size() * 8.0 / seconds;
    EXPECT_NEAR(rate / static_cast<double>(capture.bitRate), 1.0, 0.01);
}

TEST_F(SimCaptureStream, IsAValidTransportStreamWithoutContinuityGaps) {
    const Capture& capture = *s_pCapture;
    CTsPacketReader reader;
    reader.Read(capture.bytes.data(), capture.bytes.size() / 188);
    EXPECT_TRUE(reader.Errors().empty())
        << (reader.Errors().empty() ? "" : reader.Errors().front());
    for (std::size_t i = 0; i < capture.bytes.size(); i += 188)
        ASSERT_EQ(capture.bytes[i], 0x47) << i;
    EXPECT_GT(reader.PacketsPerPid().count(0x1FFF), 0u);  // null packets keep the rate
}

TEST_F(SimCaptureStream, PcrAdvancesAt27MHzWithTheCardsClock) {
    const Capture& capture = *s_pCapture;
    CTsPacketReader reader;
    reader.Read(capture.bytes.data(), capture.bytes.size() / 188);
    ASSERT_GT(reader.Pcrs().size(), 100u);
    for (const ReadPcr& pcr : reader.Pcrs()) {
        // Packet k reached the sink no earlier than its own time after the lock.
        ASSERT_EQ(pcr.value, CTsGenerator::PacketTime(capture.bitRate, pcr.packet)) << pcr.packet;
        ASSERT_LE(pcr.value, capture.nowTicks - kLockMs * CSimClock::kTicksPerMs);
    }
    const ReadPcr& last = reader.Pcrs().back();
    EXPECT_GT(last.value,
              capture.nowTicks - kLockMs * CSimClock::kTicksPerMs - 60 * CSimClock::kTicksPerMs);
}

TEST_F(SimCaptureStream, PatPmtAndSdtParseAndNameEveryProgram) {
    const Capture& capture = *s_pCapture;
    CTsPacketReader reader;
    reader.Read(capture.bytes.data(), capture.bytes.size() / 188);
    std::optional<DecodedPat> pat;
    std::optional<DecodedSdt> sdt;
    std::map<std::uint16_t, DecodedPmt> pmts;
    for (const ReadSection& section : reader.Sections()) {
        ASSERT_TRUE(section.crcOk);
        if (section.pid == 0 && !pat) pat = DecodePat(section.bytes);
        if (section.pid == 0x11 && section.bytes[0] == 0x42 && !sdt) sdt = DecodeSdt(section.bytes);
        if (pat && section.pid != 0 && section.bytes[0] == 0x02) {
            if (const auto pmt = DecodePmt(section.bytes)) pmts[pmt->programNumber] = *pmt;
        }
    }
    ASSERT_TRUE(pat && sdt);
    ASSERT_FALSE(sdt->services.empty());
    EXPECT_EQ(pat->transportStreamId, sdt->transportStreamId);
    for (const DecodedSdtService& service : sdt->services) {
        EXPECT_TRUE(pat->programs.count(service.serviceId)) << service.serviceId;
        ASSERT_TRUE(pmts.count(service.serviceId)) << service.serviceId;
        EXPECT_EQ(pmts[service.serviceId].streams.size(), 2u);
        EXPECT_FALSE(service.name.empty());
    }
    // The transport information filter behind the tee found the same names.
    ASSERT_EQ(capture.services.size(), sdt->services.size());
    for (std::size_t i = 0; i < sdt->services.size(); ++i) {
        EXPECT_EQ(capture.services[i].serviceId, sdt->services[i].serviceId);
        EXPECT_EQ(sdt->services[i].name.find(capture.services[i].name),
                  sdt->services[i].name.size() - capture.services[i].name.size());
    }
}

TEST(SimCaptureOutput, TheSameTransponderCarriesTheSameServicesEveryTime) {
    const Capture first = Record(0, 'B', SimTune{11362, 'H', 22000}, 1000);
    const Capture again = Record(2, 'B', SimTune{11362, 'H', 22000}, 1000);
    ASSERT_FALSE(first.services.empty());
    EXPECT_EQ(first.services, again.services);
    const Capture other = Record(0, 'C', SimTune{10719, 'V', 27500}, 1000);
    EXPECT_NE(first.services, other.services);
}

TEST(SimCaptureOutput, GenericStreamOutputOfATransportCarrierCarriesCrc8InPlaceOfSync) {
    const Capture capture = Record(0, 'B', SimTune{11362, 'H', 22000}, 500, {0, 1});
    ASSERT_GE(capture.bytes.size(), 188u * 348);
    EXPECT_EQ(capture.bytes[0], 0x00);
    for (std::size_t i = 188; i < 188 * 50; i += 188) {
        ASSERT_EQ(capture.bytes[i], CSimStreamSource::Crc8(&capture.bytes[i - 187], 187)) << i;
    }
    EXPECT_TRUE(capture.services.empty());
}

TEST(SimCaptureOutput, GenericCarrierDeliversOnlyInGenericStreamOutput) {
    const SimTune generic{12670, 'V', 10000};
    const Capture asTransport = Record(0, 'B', generic, 1000, {1, 0});
    EXPECT_TRUE(asTransport.bytes.empty());
    const Capture asGeneric = Record(0, 'B', generic, 2000, {0, 1});
    ASSERT_FALSE(asGeneric.bytes.empty());
    std::size_t syncs = 0;
    for (std::size_t i = 0; i < asGeneric.bytes.size(); i += 188)
        syncs += asGeneric.bytes[i] == 0x47 ? 1 : 0;
    EXPECT_LT(syncs, asGeneric.bytes.size() / 188 / 10);  // not a transport stream
    const double seconds =
        static_cast<double>(asGeneric.nowTicks) / CSimClock::kTicksPerSecond - 0.3;
    EXPECT_NEAR(asGeneric.bytes.size() * 8.0 / seconds / static_cast<double>(asGeneric.bitRate),
                1.0, 0.05);
}

TEST(SimCaptureOutput, DvbSCarrierStaysATransportStreamInGenericOutput) {
    const Capture capture = Record(0, 'C', SimTune{10719, 'V', 27500}, 1000, {0, 1});
    ASSERT_FALSE(capture.bytes.empty());
    for (std::size_t i = 0; i < capture.bytes.size(); i += 188) ASSERT_EQ(capture.bytes[i], 0x47);
}

TEST(SimCaptureOutput, NothingIsDeliveredWhileTheGraphIsStopped) {
    CSimTestRig rig(0);
    const SimTune tune{11362, 'H', 22000};
    ASSERT_EQ(rig.SendCommittedSwitch('B', tune), S_OK);
    ASSERT_EQ(rig.Tune(tune), S_OK);
    rig.Clock().AdvanceMs(1000);
    EXPECT_EQ(rig.SamplesReceived(), 0u);
    ASSERT_EQ(rig.Run(), S_OK);
    rig.Clock().AdvanceMs(100);
    const auto running = rig.SamplesReceived();
    EXPECT_GT(running, 0u);
    ASSERT_EQ(rig.Stop(), S_OK);
    rig.Clock().AdvanceMs(1000);
    EXPECT_EQ(rig.SamplesReceived(), running);
}

// What a graph that runs again gets: the stream due from its new start, joined there, never the
// backlog of the time it was stopped (a "1 s" recording once wrote all of it in one burst).
struct RunAgainCase {
    const char* name;
    bool pauseInstead;  // the graph pauses for the gap instead of stopping
    bool refusedStart;  // halfway through the gap a start is refused: run and stopped at once
};

class SimCaptureRunAgain : public testing::TestWithParam<RunAgainCase> {};

TEST_P(SimCaptureRunAgain, DeliversOnlyTheStreamDueSinceTheNewStart) {
    const RunAgainCase& c = GetParam();
    CSimTestRig rig(0);
    const SimTune tune{11362, 'H', 22000};
    ASSERT_EQ(rig.SendCommittedSwitch('B', tune), S_OK);
    ASSERT_EQ(rig.Tune(tune), S_OK);
    ASSERT_EQ(rig.Run(), S_OK);
    rig.Clock().AdvanceMs(1000);
    const SimStreamPlan plan = rig.Card().StreamPlan();
    ASSERT_TRUE(plan.config);
    // The first run streams from the lock, byte for byte what the generator makes from packet 0.
    const std::vector<std::uint8_t> first = rig.TakeBytes();
    std::vector<std::uint8_t> expected(first.size());
    CSimStreamSource(plan.output, *plan.config).Fill(expected.data(), expected.size() / 188);
    EXPECT_EQ(first, expected);

    ASSERT_EQ(c.pauseInstead ? rig.Control()->Pause() : rig.Stop(), S_OK);
    rig.Clock().AdvanceMs(10'000);
    if (c.refusedStart) {
        ASSERT_EQ(rig.Run(), S_OK);
        ASSERT_EQ(rig.Stop(), S_OK);
    }
    rig.Clock().AdvanceMs(10'000);
    EXPECT_TRUE(rig.TakeBytes().empty()) << "nothing while the graph does not run";
    const std::uint64_t restart = rig.Clock().Now();
    ASSERT_EQ(rig.Run(), S_OK);
    rig.Clock().AdvanceMs(1000);

    const std::vector<std::uint8_t> second = rig.TakeBytes();
    ASSERT_EQ(rig.Card().StreamPlan().generation, plan.generation) << "the same lock throughout";
    const std::uint64_t joined = CTsGenerator::PacketsBefore(plan.bitRate, restart - plan.epoch);
    const std::uint64_t due =
        CTsGenerator::PacketsBefore(plan.bitRate, rig.Clock().Now() - plan.epoch);
    constexpr std::uint64_t kSample = CSimCaptureOutputPin::kSamplePackets;
    EXPECT_EQ(second.size(), (due - joined) / kSample * kSample * 188)
        << "one second's whole samples";
    expected.assign(second.size(), 0);
    CSimStreamSource(plan.output, *plan.config, joined)
        .Fill(expected.data(), expected.size() / 188);
    EXPECT_EQ(second, expected) << "the stream joined where it was when the graph ran again";
    // Its clock says so too: the first PCR is that of a packet due after the restart.
    CTsPacketReader reader;
    reader.Read(second.data(), second.size() / 188);
    ASSERT_FALSE(reader.Pcrs().empty());
    EXPECT_GE(plan.epoch + reader.Pcrs().front().value, restart);
    EXPECT_EQ(reader.Pcrs().front().value,
              CTsGenerator::PacketTime(plan.bitRate, joined + reader.Pcrs().front().packet));
    EXPECT_TRUE(reader.Errors().empty())
        << (reader.Errors().empty() ? "" : reader.Errors().front());
}

INSTANTIATE_TEST_SUITE_P(AfterAGap, SimCaptureRunAgain,
                         testing::Values(RunAgainCase{"Stopped", false, false},
                                         RunAgainCase{"StoppedWithARefusedStart", false, true},
                                         RunAgainCase{"Paused", true, false}),
                         [](const testing::TestParamInfo<RunAgainCase>& caseInfo) {
                             return std::string(caseInfo.param.name);
                         });

// ffprobe, when installed, reads a ten-second recording and lists every program by its name.
TEST(SimCaptureOutput, FfprobeListsTheProgramsOfARecording) {
    if (std::system("command -v ffprobe > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "ffprobe is not installed";
    CTempFolder scratch;
    const Capture capture = Record(0, 'C', SimTune{10719, 'V', 27500}, 10'000);
    ASSERT_FALSE(capture.services.empty());
    const std::string path = scratch.File("recording.ts");
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(capture.bytes.data()),
                  static_cast<std::streamsize>(capture.bytes.size()));
    }
    const std::string command =
        "ffprobe -v error -show_entries program=program_id:program_tags=service_name -of compact "
        "'" +
        path + "' 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    ASSERT_TRUE(pipe);
    std::string output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe.get()) != nullptr) output += buffer;
    for (const SdtService& service : capture.services) {
        const std::string line = "program|program_id=" + std::to_string(service.serviceId) +
                                 "|tag:service_name=" + service.name;
        EXPECT_NE(output.find(line), std::string::npos) << line << "\n" << output;
    }
}

}  // namespace
