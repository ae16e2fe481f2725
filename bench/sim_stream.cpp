// How much faster than real time the simulated card's stream generator runs: a 32APSK 3/4
// carrier of about 100 Mbit/s with ten services, generated into one reused buffer of 348 packets
// (the capture sample size). The last line printed is "realtime factor: F", stream seconds made
// per wall-clock second on one core.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "drivers/sim/sim_stream_config.h"
#include "drivers/sim/ts_generator.h"
#include "drivers/sim/useful_bit_rate.h"

namespace {

constexpr std::size_t kSamplePackets = 348;
constexpr std::uint64_t kStreamSeconds = 60;

std::uint64_t CarrierRate() {
    sim::CarrierParameters carrier;
    carrier.system = sim::DeliverySystem::DvbS2;
    carrier.modulation = sim::Modulation::Apsk32;
    carrier.rate = sim::CodeRate::R3_4;
    carrier.symbolRate = 27'000'000;
    return static_cast<std::uint64_t>(std::llround(*sim::UsefulBitRate(carrier)));
}

SimStreamConfig CarrierConfig() {
    return MakeSimStreamConfig(1001, 318, CarrierRate(), 10, "Bench", 42);
}

void BM_FillSample(benchmark::State& state) {
    CTsGenerator generator(CarrierConfig());
    std::vector<std::uint8_t> buffer(kSamplePackets * CTsGenerator::kPacketSize);
    for (auto _ : state) {
        generator.Fill(buffer.data(), kSamplePackets);
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    const double streamSeconds = static_cast<double>(generator.PacketsProduced()) *
                                 CTsGenerator::kPacketSize * 8 /
                                 static_cast<double>(generator.BitRate());
    state.SetBytesProcessed(
        static_cast<std::int64_t>(generator.PacketsProduced() * CTsGenerator::kPacketSize));
    state.counters["stream_s"] = benchmark::Counter(streamSeconds, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FillSample);

// A fixed stretch of stream time, timed by the wall clock, as the capture thread would use it.
double MeasureRealtimeFactor() {
    CTsGenerator generator(CarrierConfig());
    std::vector<std::uint8_t> buffer(kSamplePackets * CTsGenerator::kPacketSize);
    const std::uint64_t total =
        CTsGenerator::PacketsBefore(generator.BitRate(), kStreamSeconds * CTsGenerator::kClockHz);
    const auto start = std::chrono::steady_clock::now();
    for (std::uint64_t done = 0; done < total; done += kSamplePackets) {
        generator.Fill(buffer.data(), kSamplePackets);
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    const double streamSeconds = static_cast<double>(generator.PacketsProduced()) *
                                 CTsGenerator::kPacketSize * 8 /
                                 static_cast<double>(generator.BitRate());
    std::printf("%.0f s of %llu bit/s stream in %.3f s wall\n", streamSeconds,
                static_cast<unsigned long long>(generator.BitRate()), wall.count());
    return streamSeconds / wall.count();
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const double factor = MeasureRealtimeFactor();
    std::printf("realtime factor: %.1f\n", factor);
    return 0;
}
