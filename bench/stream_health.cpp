// What the stream's health analyser costs at 100 Mbit/s: the simulated card's stream of the
// sky's heaviest carrier (32APSK 3/4 at 27 MBd, 100 Mbit/s, six services) generated in samples as
// the capture filter makes them and handed to the analyser, against the same samples generated
// and handed to no one. Both are timed in interleaved pairs as stream seconds per wall-clock
// second; the line before the last says how much of one CPU the analyser takes at 100 Mbit/s, the
// last line is the median ratio.
#include "services/stream_health.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "drivers/sim/sim_carrier_math.h"
#include "drivers/sim/sim_stream_config.h"
#include "drivers/sim/ts_generator.h"
#include "paired_ratio.h"
#include "support/hundred_megabit_carrier.h"

namespace {

constexpr std::size_t kSamplePackets = 348;
constexpr std::uint64_t kStreamSecondsPerRun = 10;
constexpr int kPairs = 7;

std::uint64_t CarrierRate() {
    return static_cast<std::uint64_t>(
        std::llround(*sim::CarrierUsefulBitRate(HundredMegabitCarrier("Bench"))));
}

// Stream seconds per wall-clock second of generating a run, each sample analysed or not.
double Run(const SimStreamConfig& config, bool analyse) {
    CTsGenerator generator(config);
    CStreamHealth health;
    std::vector<std::uint8_t> sample(kSamplePackets * CTsGenerator::kPacketSize);
    const std::uint64_t packets =
        kStreamSecondsPerRun * config.bit_rate / (CTsGenerator::kPacketSize * 8);
    const auto start = std::chrono::steady_clock::now();
    for (std::uint64_t done = 0; done < packets; done += kSamplePackets) {
        generator.Fill(sample.data(), kSamplePackets);
        if (analyse) health.Consume(sample);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // Read the result, so that the work cannot be left out.
    if (analyse && health.Snapshot().packets == 0) std::fprintf(stderr, "nothing analysed\n");
    return static_cast<double>(kStreamSecondsPerRun) / seconds;
}

}  // namespace

int main() {
    CPairedRatio::PinToOneCpu();
    const SimStreamConfig config = MakeSimStreamConfig(1, 1, CarrierRate(), 6, "Bench", 3);
    const CPairedRatio ratio = CPairedRatio::Measure(
        kPairs, [&] { return Run(config, true); }, [&] { return Run(config, false); });
    // Seconds of work per stream second, with and without the analyser: the difference is the
    // analyser's share of one CPU at this rate.
    const double share = 1.0 / ratio.MeasuredRate() - 1.0 / ratio.BaselineRate();
    std::printf("stream %.1f Mbit/s: generated alone %.0fx real time, analysed %.0fx real time\n",
                static_cast<double>(config.bit_rate) / 1e6, ratio.BaselineRate(),
                ratio.MeasuredRate());
    std::printf("the analyser takes %.1f %% of one CPU at this rate\n", share * 100.0);
    std::printf("ratio analysed/generated alone: %s\n", ratio.Text().c_str());
    return 0;
}
