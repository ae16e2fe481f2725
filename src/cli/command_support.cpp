#include "cli/command_support.h"

#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

#include "cli/satellite_lookup.h"
#include "data/listed_transponder.h"
#include "graph/tuner_session.h"
#include "platform/win/file_locations.h"
#include "platform/win/known_folders.h"
#include "services/service_scanner.h"

namespace cli {

namespace {

std::atomic<bool> g_stopRequested{false};

extern "C" void OnStopSignal(int /*signal*/) {
    g_stopRequested.store(true);
}

void TellReports(const DriverReports& reports) {
    for (const DriverReport& report : reports) Tell(report.text);
}

// The request's transponder, with a named one looked up in the satellite files.
std::optional<Transponder> Resolve(const CommandRequest& request, std::string& why) {
    Transponder transponder = request.transponder;
    if (request.transponderName.empty()) return transponder;
    const auto found = FindTransponder(request.transponderName, SatelliteFiles());
    if (const auto* error = std::get_if<std::string>(&found)) {
        why = *error;
        return std::nullopt;
    }
    return ThroughTuner(transponder, std::get<SatelliteTransponder>(found));
}

}  // namespace

int Fail(int status, const std::string& text) {
    std::fprintf(stderr, "vlk-tscap: %s\n", text.c_str());
    return status;
}

void Tell(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
}

Transponder ThroughTuner(const Transponder& tuner, const SatelliteTransponder& listed) {
    const TunerEntry entry = TunerEntryOf(listed);
    Transponder transponder = tuner;
    transponder.frequencyMHz = std::stoi(entry.frequencyMHz);
    transponder.symbolRateKsps = std::stoi(entry.symbolRateKsps);
    transponder.polarityIndex = entry.polarityIndex;
    return transponder;
}

std::vector<SatelliteFile> SatelliteFiles() {
    return ReadSatelliteFolder(platform::SatelliteFolder(platform::DataFolder()));
}

TunedTuner OpenAndTune(const CommandRequest& request, bool waitForLock) {
    TunedTuner tuned;
    std::optional<Transponder> transponder;
    if (request.hasTransponder) {
        std::string why;
        transponder = Resolve(request, why);
        if (!transponder) {
            tuned.failure = Fail(kExitBadArguments, why);
            return tuned;
        }
    }
    auto opened = COpenedTuner::Open(request.tuner);
    if (auto* failure = std::get_if<TunerFailure>(&opened)) {
        tuned.failure = Fail(failure->exitStatus, failure->text);
        return tuned;
    }
    tuned.tuner = std::move(std::get<std::unique_ptr<COpenedTuner>>(opened));
    if (!transponder) return tuned;
    const auto wait = std::chrono::seconds(waitForLock ? request.waitSeconds : 0);
    tuned.tune = Tune(tuned.tuner->Session(), *transponder, wait);
    TellReports(tuned.tune->driverReports);
    for (const TuneError& error : tuned.tune->errors) {
        tuned.failure =
            Fail(error.kind == TuneError::Kind::NoTuner ? kExitNoTuner : kExitFailed, error.text);
    }
    return tuned;
}

TunedTuner TuneForStream(const CommandRequest& request, std::string_view nothingDone) {
    TunedTuner tuned = OpenAndTune(request, true);
    if (tuned.failure) return tuned;
    if (tuned.tune->outcome != TuneResult::Outcome::Locked) {
        tuned.failure = Fail(kExitFailed, fmt::format("No lock within {} s: nothing was {}.",
                                                      request.waitSeconds, nothingDone));
        return tuned;
    }
    CatchStopSignals();
    return tuned;
}

double RunStream(const CommandRequest& request, const StreamRun& run) {
    constexpr int kPollMs = 100;
    const bool showProgress = isatty(STDERR_FILENO) != 0;
    const auto start = std::chrono::steady_clock::now();
    const auto elapsed = [&start] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    while (!StopRequested()) {
        if (request.seconds && elapsed() >= *request.seconds) break;
        if (run.done && run.done()) break;
        if (showProgress) std::fprintf(stderr, "\r%s ", run.progress(elapsed()).c_str());
        SleepUnlessStopped(kPollMs);
    }
    if (showProgress) std::fprintf(stderr, "\n");
    return elapsed();
}

void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool StopRequested() {
    return g_stopRequested.load();
}

void SleepUnlessStopped(int milliseconds) {
    constexpr int kSliceMs = 20;
    for (int slept = 0; slept < milliseconds && !StopRequested(); slept += kSliceMs)
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::min(kSliceMs, milliseconds - slept)));
}

std::optional<std::vector<ServiceInfo>> ListedServices(CTunerSession& session) {
    constexpr int kPollMs = 100;
    const auto scanner = std::make_shared<CServiceScanner>();
    if (!session.AddStreamConsumer(scanner)) return std::nullopt;
    for (int waited = 0; waited < kServicesWaitMs && !scanner->IsComplete() && !StopRequested();
         waited += kPollMs)
        SleepUnlessStopped(kPollMs);
    session.RemoveStreamConsumer(scanner);
    if (!scanner->IsComplete()) return std::nullopt;
    return scanner->Snapshot();
}

std::string Megabytes(std::uint64_t bytes) {
    constexpr double kBytesPerMB = 1024.0 * 1024.0;
    return fmt::format("{:.1f} MB", static_cast<double>(bytes) / kBytesPerMB);
}

}  // namespace cli
