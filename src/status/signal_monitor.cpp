#include "status/signal_monitor.h"

#include <mutex>

#include "graph/tuner_session.h"

namespace {

constexpr SignalReading kUnlocked{0, 0, 0};

}  // namespace

void RunSignalMonitor(CTunerSession& session, ISignalDisplay& display) {
    display.ShowSignal(kUnlocked);
    while (!display.StopRequested()) {
        if (!session.HasDriverControl()) {
            display.ShowSignal(kUnlocked);
            session.m_bSignalLocked.store(0, std::memory_order_release);
            display.WaitOrStop(500);
            continue;
        }
        const SignalQuery query = QueryTunerSignal(session);
        if (query.noTopology) return;  // a tuner without topology: the monitor ends silently

        const SignalReading& reading = query.reading;
        const bool locked = reading.locked == 1;
        session.m_bSignalLocked.store(locked ? 1 : 0, std::memory_order_release);
        display.UpdateStreamInfo(locked);
        display.ShowSignal(reading);

        display.WaitOrStop(1000);
        if (!(locked && reading.quality > 10 && reading.strength > 10)) display.WaitOrStop(500);
    }
}
