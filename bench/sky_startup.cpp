// Start-up against the size of the satellite folder: the simulated sky read and indexed from the
// shipped folder (328 files), and from the same files with 10 and 100 times their transponders,
// timed in interleaved pairs against the shipped folder. The time per transponder at each size
// against the shipped folder's is the growth: 1 is linear, 10 would be quadratic at 10x.
//
// Then the case of the start-up limits: 30 files of 8,000 transponders, in a process of its own so
// that its peak memory is its own. It reports how long the cards took to be listed as devices
// (what the device list shows; at most 1 s), how long until the sky was read, and the peak
// memory (at most 200 MB). The program fails when a limit is passed.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "data/satellite_file.h"
#include "drivers/sim/sim_device_provider.h"
#include "paired_ratio.h"
#include "platform/devices/device_enum_interfaces.h"
#include "platform/devices/device_registry.h"

namespace {

constexpr double kDeviceListLimitMs = 1000;
constexpr double kMemoryLimitMb = 200;

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.good()) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

// The shipped files with `times` times their transponders: copy j of each line 40 GHz * j up, a
// band of its own, so that no copy is a duplicate of another and the sky grows by `times` too.
std::size_t WriteScaledFolder(const std::filesystem::path& folder, int times) {
    std::filesystem::create_directories(folder);
    std::size_t transponders = 0;
    for (SatelliteFile satellite : ReadSatelliteFolder(VLK_BENCH_TRANSPONDERS_DIR)) {
        const std::vector<SatelliteTransponder> original = satellite.transponders;
        for (int copy = 1; copy < times; ++copy) {
            for (SatelliteTransponder transponder : original) {
                transponder.frequencyMHz += 40000.0 * copy;
                satellite.transponders.push_back(transponder);
            }
        }
        transponders += satellite.transponders.size();
        WriteFile(folder / satellite.fileName, FormatSatelliteFileText(satellite));
    }
    return transponders;
}

// 30 files of 8,000 transponders, each line in a slot of its own.
void WriteThirtyBigFiles(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    for (int file = 0; file < 30; ++file) {
        SatelliteFile satellite;
        satellite.orbitalTenthsEast = 100 + 10 * file;
        satellite.name = "Big " + std::to_string(file);
        for (int line = 0; line < 8000; ++line) {
            satellite.transponders.push_back(
                {10700.0 + line / 4, "HVLR"[line % 4], 27500, "3/4", "DVB-S2", "8PSK"});
        }
        WriteFile(folder / ("Big-" + std::to_string(file) + ".ini"),
                  FormatSatelliteFileText(satellite));
    }
}

// Seconds to read and index the folder, and the carriers it gave.
double LoadSeconds(const std::string& folder, std::size_t& carriers) {
    const auto start = Clock::now();
    const CSimSky sky = CSimSky::Load(folder);
    carriers = sky.Carriers().size();
    return MillisecondsSince(start) / 1e3;
}

double TranspondersPerSecond(const std::string& folder, std::size_t transponders,
                             std::size_t& carriers) {
    return static_cast<double>(transponders) / LoadSeconds(folder, carriers);
}

struct StartUp {
    double listedMs = 0;
    double skyMs = 0;
    double peakMb = 0;
    std::size_t carriers = 0;
};

// The program's start-up on the folder, in a child process.
StartUp MeasureStartUp(const std::string& folder) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) std::exit(1);
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        StartUp result;
        const auto start = Clock::now();
        CSimDeviceProvider provider({}, CSimClock::Mode::Manual, CSimSky::Load(folder));
        if (CDeviceRegistry::Instance().Devices(KSCATEGORY_BDA_NETWORK_TUNER).size() !=
            provider.CardCount()) {
            _exit(2);
        }
        result.listedMs = MillisecondsSince(start);
        result.carriers = provider.Sky().Carriers().size();
        result.skyMs = MillisecondsSince(start);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        result.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;  // kB
        const bool written = write(pipeEnds[1], &result, sizeof result) == sizeof result;
        _exit(written ? 0 : 3);
    }
    close(pipeEnds[1]);
    StartUp result;
    const bool read = ::read(pipeEnds[0], &result, sizeof result) == sizeof result;
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!read || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "the start-up child failed (status %d)\n", status);
        std::exit(1);
    }
    return result;
}

}  // namespace

int main() {
    char pattern[] = "/tmp/vlk-sky-startup-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    const std::filesystem::path root = pattern;

    // First, while this process is small: the child's peak is then the start-up's own.
    WriteThirtyBigFiles(root / "thirty");
    const StartUp startUp = MeasureStartUp((root / "thirty").string());

    CPairedRatio::PinToOneCpu();
    const std::string shipped = VLK_BENCH_TRANSPONDERS_DIR;
    std::size_t shippedLines = 0;
    for (const SatelliteFile& satellite : ReadSatelliteFolder(shipped))
        shippedLines += satellite.transponders.size();
    std::size_t carriers = 0;
    const double shippedSeconds = LoadSeconds(shipped, carriers);
    std::printf("shipped folder: %zu transponders, %zu carriers; one load %.1f ms\n", shippedLines,
                carriers, shippedSeconds * 1e3);

    for (const int times : {10, 100}) {
        const std::filesystem::path folder = root / ("x" + std::to_string(times));
        const std::size_t lines = WriteScaledFolder(folder, times);
        std::size_t scaledCarriers = 0;
        const CPairedRatio ratio = CPairedRatio::Measure(
            times == 10 ? 9 : 5,
            [&] { return TranspondersPerSecond(folder.string(), lines, scaledCarriers); },
            [&] { return TranspondersPerSecond(shipped, shippedLines, carriers); });
        const double scale = static_cast<double>(lines) / static_cast<double>(shippedLines);
        std::printf(
            "%dx: %zu transponders, %zu carriers, median load %.1f ms (shipped %.1f ms): %.1f "
            "times the time for %.1f times the transponders\n",
            times, lines, scaledCarriers, 1e3 * static_cast<double>(lines) / ratio.MeasuredRate(),
            1e3 * static_cast<double>(shippedLines) / ratio.BaselineRate(), scale / ratio.Median(),
            scale);
        std::printf("%dx growth per transponder (1 = linear): %.3f\n", times, 1 / ratio.Median());
    }

    std::filesystem::remove_all(root);
    std::printf(
        "30 files of 8,000 transponders: devices listed after %.1f ms (limit %.0f), sky of %zu "
        "carriers read after %.1f ms, peak memory %.1f MB (limit %.0f)\n",
        startUp.listedMs, kDeviceListLimitMs, startUp.carriers, startUp.skyMs, startUp.peakMb,
        kMemoryLimitMb);
    return startUp.listedMs <= kDeviceListLimitMs && startUp.peakMb <= kMemoryLimitMb ? 0 : 1;
}
