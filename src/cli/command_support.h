#pragma once
// What the subcommands share: telling the user, the satellite files, the tuner opened and
// tuned, and the signals that end a command that runs until stopped.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command_request.h"
#include "cli/opened_tuner.h"
#include "data/satellite_file.h"
#include "graph/tuning.h"
#include "services/service_info.h"

namespace cli {

// "vlk-tscap: TEXT" on standard error; returns `status`.
int Fail(int status, const std::string& text);
// A line on standard error that is no failure (progress, what the driver said).
void Tell(const std::string& text);

// A transponder of the satellite files as the tuner of `tuner` takes it: its LNB, port and
// extras, the listed carrier's frequency, symbol rate and polarity (as the Transponders page
// fills the Tuner Setting page's fields).
Transponder ThroughTuner(const Transponder& tuner, const SatelliteTransponder& listed);

// Every satellite file of the data folder.
std::vector<SatelliteFile> SatelliteFiles();

// The tuner of the request, opened; with a transponder in the request, tuned, waiting up to
// --wait seconds for a lock when `waitForLock`. On failure, what to exit with (the user has
// been told).
struct TunedTuner {
    std::unique_ptr<COpenedTuner> tuner;
    std::optional<TuneResult> tune;  // none without a transponder
    std::optional<int> failure;
};
TunedTuner OpenAndTune(const CommandRequest& request, bool waitForLock);
// For the commands that take the live stream (record, serve): opens, tunes, and waits for the
// lock, then catches the stop signals. A tune that does not lock fails with "No lock within
// 10 s: nothing was `nothingDone`."
TunedTuner TuneForStream(const CommandRequest& request, std::string_view nothingDone);

// A limit of the stream's commands besides --seconds (the --size, a write error), and the
// progress line they show on a terminal, given the seconds since the start.
struct StreamRun {
    std::function<bool()> done;
    std::function<std::string(double seconds)> progress;
};
// Polls until a stop signal, --seconds or `run.done`, with `run.progress` on standard error
// when it is a terminal; the seconds it ran.
double RunStream(const CommandRequest& request, const StreamRun& run);

// SIGINT and SIGTERM from now on only ask the command to stop (StopRequested), so that it ends
// cleanly with everything kept.
void CatchStopSignals();
bool StopRequested();
// Sleeps up to `milliseconds`, less when a stop is asked meanwhile.
void SleepUnlessStopped(int milliseconds);

// The services of the tuned stream, once its PAT and PMTs are complete; none when they do not
// come within kServicesWaitMs (or a stop is asked).
inline constexpr int kServicesWaitMs = 5000;
std::optional<std::vector<ServiceInfo>> ListedServices(CTunerSession& session);

// "12.3 MB", in MiB as the progress lines count.
std::string Megabytes(std::uint64_t bytes);

}  // namespace cli
