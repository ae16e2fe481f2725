#include "graph/tuner_signal.h"

#include <mutex>

#include "graph/tuner_session.h"
#include "platform/bda/bda_device_interfaces.h"

namespace {

constexpr SignalReading kFailedPoll{0, 0, 255};

}  // namespace

SignalQuery QueryTunerSignal(CTunerSession& session) {
    SignalQuery query;
    query.reading = kFailedPoll;
    std::lock_guard driver(session.m_hDriverMutex);
    IBaseFilter* tuner = session.m_BDAGraph.m_pTunerDevice.Get();
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
