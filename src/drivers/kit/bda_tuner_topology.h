#pragma once
// The topology of a card's tuner filter: input pin 0 joined to output pin 1 through the tuner
// node (type 0) and the demodulator node (type 1), and the tune request those nodes collect for
// the filter's CommitChanges.
#include "drivers/kit/bda_demodulator_node.h"
#include "drivers/kit/bda_pending_tune.h"
#include "drivers/kit/bda_tuner_node.h"

class CBdaTunerTopology {
public:
    // `filter` owns this topology and answers the nodes' AddRef and Release.
    CBdaTunerTopology(IBaseFilter* filter, IBdaSignalSource* signals);

    // IBDA_Topology::GetControlNode: the node as IUnknown, E_INVALIDARG for any other pin pair
    // or node type.
    HRESULT GetControlNode(ULONG inputPinId, ULONG outputPinId, ULONG nodeType, IUnknown** node);

    // IBDA_DeviceControl::GetChangeState: BDA_CHANGES_PENDING (1) or BDA_CHANGES_COMPLETE (0).
    HRESULT GetChangeState(ULONG* state) const;

    CBdaPendingTune& Pending() { return m_pending; }

private:
    CBdaPendingTune m_pending;
    CBdaTunerNode m_tunerNode;
    CBdaDemodulatorNode m_demodulatorNode;
};
