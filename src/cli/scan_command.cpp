// scan: every transponder of a satellite tuned in turn, as the scan window tunes them, and the
// CSV that window exports.
#include <fmt/format.h>

#include <chrono>
#include <cstdio>
#include <memory>

#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/satellite_lookup.h"
#include "graph/lock_search_time.h"
#include "graph/tuner_session.h"
#include "scan/satellite_scan.h"
#include "scan/scan_csv.h"
#include "scan/scan_reading.h"
#include "scan/scan_store.h"
#include "services/service_scanner.h"

namespace cli {

int RunScan(const CommandRequest& request) {
    const auto found = FindSatellite(request.satellite, SatelliteFiles());
    if (const auto* why = std::get_if<std::string>(&found)) return Fail(kExitBadArguments, *why);
    const SatelliteFile& satellite = std::get<SatelliteFile>(found);
    const TunedTuner tuned = OpenAndTune(request, false);
    if (tuned.failure) return *tuned.failure;
    CTunerSession& session = tuned.tuner->Session();
    const auto scanner = std::make_shared<CServiceScanner>();
    session.AddStreamConsumer(scanner);

    const Transponder& lnb = request.transponder;
    std::vector<bool> tunable;
    for (const SatelliteTransponder& transponder : satellite.transponders)
        tunable.push_back(WithinTunerRange(transponder.frequencyMHz, lnb.lnbLowMHz, lnb.lnbHighMHz,
                                           lnb.lnbSwitchMHz));
    CSatelliteScan scan(satellite.transponders, std::move(tunable));
    CatchStopSignals();
    const auto start = std::chrono::steady_clock::now();
    const auto nowMs = [&start] {
        return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                              std::chrono::steady_clock::now() - start)
                                              .count());
    };
    std::uint64_t generation = scan.Generation();
    std::optional<ScanObservation> reading;
    for (bool cancelled = false;;) {
        if (StopRequested() && !cancelled) {
            scan.Cancel();
            cancelled = true;
        }
        const ScanStep step = scan.Step(nowMs(), reading ? &*reading : nullptr);
        reading.reset();
        if (step.action == ScanAction::Finished) break;
        switch (step.action) {
            case ScanAction::Wait:
                SleepUnlessStopped(kScanReadPeriodMs);
                reading = ReadScanObservation(session, scanner.get(), generation, nowMs(),
                                              session.IsExtendedModel());
                break;
            case ScanAction::Tune: {
                const SatelliteTransponder& listed = scan.Transponders()[step.index];
                Tell(fmt::format("Scanning {} of {}: {} {} {}", step.index + 1,
                                 scan.Transponders().size(), listed.frequencyMHz,
                                 listed.polarisation, listed.symbolRateKsps));
                const Transponder transponder = ThroughTuner(lnb, listed);
                const auto lockWait =
                    static_cast<std::uint64_t>(LockSearchTime(session, transponder).count());
                const std::uint64_t tunedMs = nowMs();
                const TuneResult result = Tune(session, transponder);
                bool noTuner = false;
                for (const TuneError& error : result.errors) {
                    Tell(error.text);
                    noTuner = noTuner || error.kind == TuneError::Kind::NoTuner;
                }
                if (noTuner) {
                    scan.Refused();
                } else {
                    generation = scan.Acted(tunedMs, lockWait);
                }
                break;
            }
            case ScanAction::ResetServices:
                scanner->Reset();
                generation = scan.Acted(nowMs());
                break;
            case ScanAction::RestorePage:
                // A command has no page whose transponder to tune again.
                generation = scan.Acted(nowMs());
                break;
            case ScanAction::Finished:
                break;
        }
    }
    session.RemoveStreamConsumer(scanner);

    const std::vector<ScanRow>& rows = scan.Rows();
    if (request.csvPath.empty() || request.csvPath == "-") {
        const std::string csv = scan_csv::Format(rows);
        if (std::fwrite(csv.data(), 1, csv.size(), stdout) != csv.size() ||
            std::fflush(stdout) != 0)
            return Fail(kExitFailed, "Standard output could not be written.");
    } else if (std::string error; !scan_store::Save(request.csvPath, rows, error)) {
        return Fail(kExitFailed, error);
    }
    const double seconds = static_cast<double>(nowMs()) / 1000.0;
    if (scan.IsRefused()) return Fail(kExitNoTuner, "The scan stopped: no tuner is ready to tune.");
    if (scan.IsCancelled()) {
        return Fail(kExitFailed,
                    fmt::format("Scan cancelled after {} of {} transponders ({} locked).",
                                rows.size(), scan.Transponders().size(), LockedCount(rows)));
    }
    std::string summary = fmt::format("Scan finished in {:.1f} s: {} of {} transponders locked.",
                                      seconds, LockedCount(rows), rows.size());
    if (scan.Untunable() > 0)
        summary += fmt::format(
            " {} lie outside what the tuner takes through this LNB (950 to "
            "2150 MHz) and were not tuned.",
            scan.Untunable());
    Tell(summary);
    return kExitOk;
}

}  // namespace cli
