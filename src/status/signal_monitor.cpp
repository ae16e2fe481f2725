#include "status/signal_monitor.h"

#include <mutex>

#include "core/process_globals.h"
#include "graph/bda_graph.h"
#include "platform/bda/bda_device_interfaces.h"

std::atomic<std::int32_t> g_bSignalLocked{0};

namespace {

constexpr SignalReading kUnlocked{0, 0, 0};
constexpr SignalReading kFailedPoll{0, 0, 255};

}  // namespace

SignalQuery QueryTunerSignal() {
    SignalQuery query;
    query.reading = kFailedPoll;
    std::lock_guard driver(g_hDriverMutex);
    IBaseFilter* tuner = g_BDAGraph.m_pTunerDevice.Get();
    if (tuner == nullptr) return query;
    ComPtr<IBDA_Topology> topology;
    if (FAILED(tuner->QueryInterface(IBDA_Topology::kIid, topology.ReleaseAndGetVoidAddress()))) {
        query.noTopology = true;
        return query;
    }
    ComPtr<IUnknown> node;
    if (FAILED(topology->GetControlNode(0, 1, 0, node.ReleaseAndGetAddressOf())) || !node)
        return query;
    ComPtr<IBDA_SignalStatistics> statistics;
    if (FAILED(node.As(&statistics))) return query;

    LONG quality = 0;
    const bool qualityRead = SUCCEEDED(statistics->get_SignalQuality(&quality));
    LONG strength = 0;
    statistics->get_SignalStrength(&strength);
    BOOLEAN locked = 0;
    statistics->get_SignalLocked(&locked);
    // The poll fails exactly when the quality cannot be read; the driver's values keep their
    // low eight bits.
    if (qualityRead)
        query.reading = SignalReading{static_cast<std::uint8_t>(quality),
                                      static_cast<std::uint8_t>(strength), locked};
    return query;
}

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
