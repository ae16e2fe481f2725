#pragma once
// The tuner filter of a Linux DVB frontend (the device in KSCATEGORY_BDA_NETWORK_TUNER). Pins:
// "Input0", where the DVB-S network provider's antenna output connects and which carries the
// vendor properties, and "MPEG2 Transport", which offers the card's medium to its capture
// filter. It answers IBDA_Topology with the tuner node (frequency filter, LNB, signal
// statistics) and the demodulator node, IBDA_DeviceControl, whose CommitChanges tunes, and
// IKsPropertySet, on which nothing is supported (a PCI-E style card).
//
// Node settings wait in a pending request until CommitChanges.
#include <memory>

#include "drivers/kit/bda_signal.h"
#include "drivers/kit/bda_tuner_topology.h"
#include "drivers/linuxdvb/linux_dvb_property_driver.h"
#include "platform/bda/bda_device_interfaces.h"
#include "platform/ks/ks_property_set.h"
#include "platform/media/base_filter.h"
#include "platform/media/crit_sec.h"

class CBdaTunerOutputPin;

namespace linuxdvb {

class CLinuxDvbCard;
class CLinuxDvbTunerInputPin;

inline constexpr CLSID CLSID_LinuxDvbTunerFilter =
    com::MakeGuid("{4C445642-7A3B-4D2A-9F10-56A1D0C0B010}");

class CLinuxDvbTunerFilter : public CBaseFilter,
                             public IBDA_Topology,
                             public IBDA_DeviceControl,
                             public IKsPropertySet,
                             private IBdaSignalSource {
public:
    explicit CLinuxDvbTunerFilter(std::shared_ptr<CLinuxDvbCard> card);
    ~CLinuxDvbTunerFilter() override;

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;

    int GetPinCount() override;
    CBasePin* GetPin(int n) override;

    // IBDA_Topology: input pin 0, output pin 1, node type kBdaTunerNode or kBdaDemodulatorNode.
    HRESULT GetControlNode(ULONG inputPinId, ULONG outputPinId, ULONG nodeType,
                           IUnknown** node) override;

    // IBDA_DeviceControl
    HRESULT StartChanges() override;
    HRESULT CheckChanges() override;
    HRESULT CommitChanges() override;
    HRESULT GetChangeState(ULONG* state) override;

    // IKsPropertySet of the filter: nothing supported.
    HRESULT Set(REFGUID propertySet, DWORD propertyId, void* instanceData, DWORD instanceLength,
                void* propertyData, DWORD dataLength) override;
    HRESULT Get(REFGUID propertySet, DWORD propertyId, void* instanceData, DWORD instanceLength,
                void* propertyData, DWORD dataLength, DWORD* bytesReturned) override;
    HRESULT QuerySupported(REFGUID propertySet, DWORD propertyId, DWORD* typeSupport) override;

    CLinuxDvbCard& Card() const { return *m_pCard; }
    CLinuxDvbPropertyDriver& Driver() { return m_driver; }

private:
    // IBdaSignalSource: the frontend's statistics; a signal counts as present when it has any
    // strength.
    HRESULT ReadSignal(BdaSignal* signal) override;

    CCritSec m_lock;
    const std::shared_ptr<CLinuxDvbCard> m_pCard;
    CLinuxDvbPropertyDriver m_driver;
    std::unique_ptr<CLinuxDvbTunerInputPin> m_pInput;
    std::unique_ptr<CBdaTunerOutputPin> m_pOutput;
    CBdaTunerTopology m_topology;
};

}  // namespace linuxdvb
