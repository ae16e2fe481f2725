#pragma once
// A tuner filter for the network provider tests: one input pin "Input0", the topology with a
// tuner node (0) and a demodulator node (1) between pins 0 and 1, and the device control.
// Everything it is told lands in its script's call list.
#include <memory>

#include "platform/bda/bda_device_interfaces.h"
#include "platform/media/base_filter.h"
#include "support/fake_tuner_input_pin.h"
#include "support/fake_tuner_script.h"

class CFakeTunerFilter : public CBaseFilter, public IBDA_Topology, public IBDA_DeviceControl {
public:
    explicit CFakeTunerFilter(std::shared_ptr<FakeTunerScript> script);
    ~CFakeTunerFilter() override;

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;

    int GetPinCount() override;
    CBasePin* GetPin(int n) override;

    HRESULT GetControlNode(ULONG inputPinId, ULONG outputPinId, ULONG nodeType,
                           IUnknown** node) override;

    HRESULT StartChanges() override;
    HRESULT CheckChanges() override;
    HRESULT CommitChanges() override;
    HRESULT GetChangeState(ULONG* state) override;

private:
    CCritSec m_lock;
    const std::shared_ptr<FakeTunerScript> m_pScript;
    const std::unique_ptr<CFakeTunerInputPin> m_pInput;
};
