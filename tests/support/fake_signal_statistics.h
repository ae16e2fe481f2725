#pragma once
// A tuner's topology whose control node (0, 1, 0) answers signal statistics set by the test.
// Thread-safe: the monitor thread reads while the test changes the values.
#include <atomic>

#include "platform/bda/bda_device_interfaces.h"
#include "platform/com/unknown_base.h"

class CFakeSignalStatistics : public CUnknown, public IBDA_Topology, public IBDA_SignalStatistics {
public:
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;

    HRESULT GetControlNode(ULONG inputPinId, ULONG outputPinId, ULONG nodeType,
                           IUnknown** node) override;
    HRESULT get_SignalStrength(LONG* strength) override;
    HRESULT get_SignalQuality(LONG* quality) override;
    HRESULT get_SignalPresent(BOOLEAN* present) override;
    HRESULT get_SignalLocked(BOOLEAN* locked) override;

    void Set(LONG quality, LONG strength, bool locked) {
        m_quality = quality;
        m_strength = strength;
        m_locked = locked;
    }
    std::atomic<bool> m_bQualityFails{false};
    std::atomic<bool> m_bNoNode{false};
    std::atomic<int> m_nPolls{0};

private:
    std::atomic<LONG> m_quality{0};
    std::atomic<LONG> m_strength{0};
    std::atomic<bool> m_locked{false};
};
