#pragma once
// The simulated card's tuner filter (the device in KSCATEGORY_BDA_NETWORK_TUNER). Pins: "Input0",
// where the DVB-S network provider's antenna output connects, and "MPEG2 Transport", which
// offers the card's own medium to its capture filter. It answers IBDA_Topology with the tuner
// node (frequency filter, LNB, signal statistics) and the demodulator node, IBDA_DeviceControl,
// whose CommitChanges tunes the card, and IKsPropertySet for the card's filter-level properties.
//
// Node settings made through the control nodes wait in a pending request until CommitChanges.
#include <memory>

#include "drivers/kit/bda_signal.h"
#include "drivers/kit/bda_tuner_topology.h"
#include "drivers/sim/sim_card.h"
#include "platform/bda/bda_device_interfaces.h"
#include "platform/ks/ks_property_set.h"
#include "platform/media/base_filter.h"
#include "platform/media/crit_sec.h"

class CBdaTunerOutputPin;
class CSimTunerInputPin;

inline constexpr CLSID CLSID_SimTunerFilter = com::MakeGuid("{5E1A0C10-7A3B-4D2A-9F10-56A1D0C0A010}");

class CSimTunerFilter : public CBaseFilter,
                        public IBDA_Topology,
                        public IBDA_DeviceControl,
                        public IKsPropertySet,
                        private IBdaSignalSource {
public:
    explicit CSimTunerFilter(std::shared_ptr<CSimCard> card);
    ~CSimTunerFilter() override;

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;

    int GetPinCount() override;
    CBasePin* GetPin(int n) override;

    // IBDA_Topology: input pin 0, output pin 1, node type kBdaTunerNode or kBdaDemodulatorNode.
    HRESULT GetControlNode(ULONG inputPinId, ULONG outputPinId, ULONG nodeType, IUnknown** node) override;

    // IBDA_DeviceControl
    HRESULT StartChanges() override;
    HRESULT CheckChanges() override;
    HRESULT CommitChanges() override;
    HRESULT GetChangeState(ULONG* state) override;

    // IKsPropertySet: the filter surface of the card's driver.
    HRESULT Set(REFGUID propertySet, DWORD propertyId, void* instanceData, DWORD instanceLength, void* propertyData,
                DWORD dataLength) override;
    HRESULT Get(REFGUID propertySet, DWORD propertyId, void* instanceData, DWORD instanceLength, void* propertyData,
                DWORD dataLength, DWORD* bytesReturned) override;
    HRESULT QuerySupported(REFGUID propertySet, DWORD propertyId, DWORD* typeSupport) override;

    CSimCard& Card() const { return *m_pCard; }

private:
    // IBdaSignalSource: the card's statistics, with the faults a test injected.
    HRESULT ReadSignal(BdaSignal* signal) override;
    bool OffersSignalStatistics() const override;

    CCritSec m_lock;
    const std::shared_ptr<CSimCard> m_pCard;
    std::unique_ptr<CSimTunerInputPin> m_pInput;
    std::unique_ptr<CBdaTunerOutputPin> m_pOutput;
    CBdaTunerTopology m_topology;
};
