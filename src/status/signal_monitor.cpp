#include "status/signal_monitor.h"

#include <mutex>

#include "core/process_globals.h"
#include "graph/bda_graph.h"

std::atomic<std::int32_t> g_bSignalLocked{0};

namespace {

constexpr SignalReading kUnlocked{0, 0, 0};

}  // namespace

void RunSignalMonitor(ISignalDisplay& display) {
    display.ShowSignal(kUnlocked);
    while (!display.StopRequested()) {
        if (!g_BDAGraph.m_pKsCtrl) {
            display.ShowSignal(kUnlocked);
            g_bSignalLocked.store(0, std::memory_order_release);
            display.WaitOrStop(500);
            continue;
        }
        const SignalQuery query = QueryTunerSignal();
        if (query.noTopology) return;  // a tuner without topology: the monitor ends silently

        const SignalReading& reading = query.reading;
        const bool locked = reading.locked == 1;
        g_bSignalLocked.store(locked ? 1 : 0, std::memory_order_release);
        display.UpdateStreamInfo(locked);
        display.ShowSignal(reading);

        display.WaitOrStop(1000);
        if (!(locked && reading.quality > 10 && reading.strength > 10)) display.WaitOrStop(500);
    }
}
