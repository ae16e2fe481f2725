#pragma once
// A fake tuner filter that a network provider can tune: the pins of CFakeFilter (antenna input,
// transport output), a tuner and a demodulator node between them that write every tuning
// value into the script, and the driver's property set where the test's carrier puts it.
#include <memory>

#include "platform/bda/bda_device_interfaces.h"
#include "support/fake_filter.h"
#include "support/fake_tuner_script.h"

class CTunableTunerFilter : public CFakeFilter, public IBDA_Topology, public IBDA_DeviceControl {
public:
    CTunableTunerFilter(std::vector<FakePinShape> pins, std::shared_ptr<FakeTunerScript> script);

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;

    HRESULT GetControlNode(ULONG inputPinId, ULONG outputPinId, ULONG nodeType,
                           IUnknown** node) override;
    HRESULT StartChanges() override;
    HRESULT CheckChanges() override;
    HRESULT CommitChanges() override;
    HRESULT GetChangeState(ULONG* state) override;

    // Answered by the tuner node (0, 1, 0) as its signal statistics, for the signal monitor.
    void SetSignalStatistics(IUnknown* statistics) { m_pSignal = statistics; }

private:
    ComPtr<IUnknown> m_pSignal;
    const std::shared_ptr<FakeTunerScript> m_pScript;
};
