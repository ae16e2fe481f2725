// A player decodes what the simulated card sends: ten seconds of a DVB-S transponder's multiplex,
// decoded by ffmpeg (when installed) without a complaint, its pictures the test card of each
// service with the clock of their time, its sound a steady 1 kHz tone.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "drivers/sim/sim_multiplex.h"
#include "drivers/sim/test_card.h"
#include "drivers/sim/ts_generator.h"
#include "platform/media/useful_bit_rate.h"
#include "support/temp_folder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A DVB-S transponder at 19.2 E: 11836 MHz H, 27500 kBd, QPSK 3/4, about 38 Mbit/s.
SimCarrier Transponder() {
    SimCarrier carrier;
    carrier.orbitalTenthsEast = 192;
    carrier.satellite = "Sim 19.2E";
    carrier.frequencyKHz = 11'836'000;
    carrier.polarisation = 'H';
    carrier.symbolRate = 27'500'000;
    return carrier;
}

std::uint64_t TransponderRate() {
    dvb_rate::CarrierParameters parameters;
    parameters.system = dvb_rate::DeliverySystem::DvbS;
    parameters.modulation = dvb_rate::Modulation::Qpsk;
    parameters.rate = dvb_rate::CodeRate::R3_4;
    parameters.symbolRate = 27'500'000;
    return static_cast<std::uint64_t>(std::llround(*dvb_rate::UsefulBitRate(parameters)));
}

// Runs a command and returns what it wrote to stdout; status is its exit status.
Bytes RunCommand(const std::string& command, int& status) {
    Bytes out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    if (!pipe) {
        status = -1;
        return out;
    }
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0)
        out.insert(out.end(), buffer, buffer + got);
    status = ::pclose(pipe.release());
    return out;
}

class FfmpegPlaysTheSimulatedTransponder : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (std::system("command -v ffmpeg > /dev/null 2>&1") != 0) return;
        s_pFolder = new CTempFolder();
        s_pConfig =
            new SimStreamConfig(MakeCarrierMultiplex(Transponder(), 0, TransponderRate(), 1));
        s_strFile = s_pFolder->File("transponder.ts");
        CTsGenerator generator(*s_pConfig);
        const std::uint64_t packets =
            CTsGenerator::PacketsBefore(s_pConfig->bit_rate, 10 * CTsGenerator::kClockHz);
        std::ofstream out(s_strFile, std::ios::binary);
        Bytes buffer(1000 * 188);
        for (std::uint64_t done = 0; done < packets; done += 1000) {
            const auto count =
                static_cast<std::size_t>(std::min<std::uint64_t>(1000, packets - done));
            generator.Fill(buffer.data(), count);
            out.write(reinterpret_cast<const char*>(buffer.data()),
                      static_cast<std::streamsize>(count * 188));
        }
    }
    static void TearDownTestSuite() {
        delete s_pConfig;
        delete s_pFolder;
        s_pConfig = nullptr;
        s_pFolder = nullptr;
    }
    void SetUp() override {
        if (s_pFolder == nullptr) GTEST_SKIP() << "ffmpeg is not installed";
    }

    static std::string Ffmpeg(const std::string& arguments) {
        return "ffmpeg -nostdin -v error -i '" + s_strFile + "' " + arguments;
    }

    static inline CTempFolder* s_pFolder = nullptr;
    static inline SimStreamConfig* s_pConfig = nullptr;
    static inline std::string s_strFile;
};

TEST_F(FfmpegPlaysTheSimulatedTransponder, DecodesEveryStreamWithoutAComplaint) {
    ASSERT_GE(s_pConfig->services.size(), 8u);
    int status = 0;
    const Bytes messages = RunCommand(Ffmpeg("-map 0 -t 10 -f null - 2>&1"), status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(std::string(messages.begin(), messages.end()), "");
}

// The 76th picture (PTS 0.5 s + 75 * 40 ms = 3.5 s) is the card of its service at 00:00:03, in
// luma and chroma; only the inverse transform's rounding may differ.
TEST_F(FfmpegPlaysTheSimulatedTransponder, PicturesShowTheServiceNameAndTheClock) {
    for (const SimServiceConfig* service :
         {&s_pConfig->services.front(), &s_pConfig->services.back()}) {
        SCOPED_TRACE(service->service_name);
        int status = 0;
        const Bytes frame = RunCommand(Ffmpeg("-map 0:#" + std::to_string(service->streams[0].pid) +
                                              " -vf 'select=eq(n\\,75)' -frames:v 1 -f rawvideo "
                                              "-pix_fmt yuv420p - 2>/dev/null"),
                                       status);
        ASSERT_EQ(status, 0);
        constexpr std::size_t kLuma = 720 * 576;
        ASSERT_EQ(frame.size(), kLuma * 3 / 2);
        CTestCard card(service->service_name);
        card.SetClock(3);
        Bytes expected = card.LumaPlane();
        for (int plane = 0; plane < 2; ++plane) {
            for (int y = 0; y < 288; ++y) {
                for (int x = 0; x < 360; ++x) {
                    expected.push_back(plane == 0 ? card.Cb(y / 8, x / 8) : card.Cr(y / 8, x / 8));
                }
            }
        }
        std::size_t differing = 0;
        int worst = 0;
        for (std::size_t i = 0; i < frame.size(); ++i) {
            const int difference = std::abs(int{frame[i]} - int{expected[i]});
            differing += difference != 0;
            worst = std::max(worst, difference);
        }
        EXPECT_LE(worst, 1);
        EXPECT_LE(differing, frame.size() / 100);
        // A card with another clock is not what was shown.
        card.SetClock(4);
        EXPECT_NE(card.LumaPlane(), Bytes(frame.begin(), frame.begin() + kLuma));
    }
}

// The repeated frame is one continuous tone: each sample is (nearly) the one a 1 kHz period, 48
// samples, before it, across every frame boundary; a click or gap where frames join would show.
TEST_F(FfmpegPlaysTheSimulatedTransponder, SoundIsASteadyTone) {
    int status = 0;
    const Bytes pcm =
        RunCommand(Ffmpeg("-map 0:#" + std::to_string(s_pConfig->services[0].streams[1].pid) +
                          " -t 3 -ac 1 -f s16le - 2>/dev/null"),
                   status);
    ASSERT_EQ(status, 0);
    std::vector<int> samples;
    for (std::size_t i = 0; i + 1 < pcm.size(); i += 2)
        samples.push_back(static_cast<std::int16_t>(pcm[i] | pcm[i + 1] << 8));
    ASSERT_GE(samples.size(), 48'000u * 2);
    double power = 0;
    int worst = 0;
    // After the first 100 ms, in which the decoder's filter bank fills.
    constexpr std::size_t kSettled = 4800;
    for (std::size_t i = kSettled; i + 48 < samples.size(); ++i) {
        worst = std::max(worst, std::abs(samples[i] - samples[i + 48]));
        power += double{1} * samples[i] * samples[i];
    }
    const double rms = std::sqrt(power / static_cast<double>(samples.size() - kSettled - 48));
    EXPECT_GT(rms, 1000.0);      // about -24 dBFS
    EXPECT_LE(worst, rms / 50);  // coding noise only
}

}  // namespace
