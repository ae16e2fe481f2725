// list, tune and status: the tuners, a lock, and the signal read again and again.
#include <fmt/format.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>

#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/signal_report.h"
#include "graph/tuner_session.h"

namespace cli {

namespace {

// A whole line reached standard output (a closed pipe or a full disk is a failure).
bool PrintLine(const std::string& line) {
    return std::fprintf(stdout, "%s\n", line.c_str()) >= 0 && std::fflush(stdout) == 0;
}

}  // namespace

int RunList() {
    const std::vector<ListedTuner> tuners = ListTuners();
    if (tuners.empty()) return Fail(kExitNoTuner, "No tuner is installed.");
    for (const ListedTuner& tuner : tuners) {
        const std::string state = tuner.holders.empty() ? "free" : "busy: " + tuner.holders;
        if (!PrintLine(fmt::format("{}  {}  ({})  {}", tuner.index, tuner.name, tuner.kind, state)))
            return Fail(kExitFailed, "Standard output could not be written.");
    }
    return kExitOk;
}

int RunTune(const CommandRequest& request) {
    const TunedTuner tuned = OpenAndTune(request, true);
    if (tuned.failure) return *tuned.failure;
    const SignalReport report = ReadSignalReport(tuned.tuner->Session());
    if (!PrintLine(LockLine(report)))
        return Fail(kExitFailed, "Standard output could not be written.");
    return report.reading.locked == 1 ? kExitOk : kExitFailed;
}

int RunStatus(const CommandRequest& request) {
    const TunedTuner tuned = OpenAndTune(request, true);
    if (tuned.failure) return *tuned.failure;
    CTunerSession& session = tuned.tuner->Session();
    std::shared_ptr<CStreamHealthMonitor> stream;
    if (request.streamHealth) {
        stream = std::make_shared<CStreamHealthMonitor>();
        if (!session.AddStreamConsumer(stream))
            return Fail(kExitFailed, "The tuner gives no stream to look at.");
    }
    CatchStopSignals();
    const auto interval = std::chrono::milliseconds(std::lround(request.intervalSeconds * 1000));
    auto next = std::chrono::steady_clock::now();
    for (int printed = 0; !request.count || printed < *request.count; ++printed) {
        if (printed > 0) {
            // On the interval's beat, whatever the reading took.
            next += interval;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                next - std::chrono::steady_clock::now());
            SleepUnlessStopped(static_cast<int>(std::max<long long>(0, left.count())));
        }
        if (StopRequested()) break;
        SignalReport report = ReadSignalReport(session);
        if (stream) report.stream = stream->Snapshot();
        if (!PrintLine(request.json ? StatusJson(report) : StatusLine(report))) {
            if (stream) session.RemoveStreamConsumer(stream);
            return Fail(kExitFailed, "Standard output could not be written.");
        }
    }
    if (stream) session.RemoveStreamConsumer(stream);
    return kExitOk;
}

}  // namespace cli
