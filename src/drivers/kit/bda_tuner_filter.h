#pragma once
// A card's tuner filter (the device in KSCATEGORY_BDA_NETWORK_TUNER). Pins: "Input0", where the
// DVB-S network provider's antenna output connects, and "MPEG2 Transport", which offers the
// card's medium to its capture filter. It answers IBDA_Topology with the tuner node (frequency
// filter, LNB, signal statistics) and the demodulator node, IBDA_DeviceControl, whose
// CommitChanges tunes the card, and IKsPropertySet, on the filter and on Input0, with the card's
// driver properties. Node settings wait in a pending request until CommitChanges.
//
// A driver fills the hooks: tuning, whether the card is gone, the signal (IBdaSignalSource's
// ReadSignal), the property driver that answers both property sets (one request a call), and,
// for a card that misbehaves on purpose, the interfaces it refuses and what a commit answers
// instead of tuning.
#include <memory>
#include <optional>

#include "drivers/kit/bda_property_request.h"
#include "drivers/kit/bda_signal.h"
#include "drivers/kit/bda_tune_request.h"
#include "drivers/kit/bda_tuner_topology.h"
#include "platform/bda/bda_device_interfaces.h"
#include "platform/ks/ks_property_set.h"
#include "platform/media/base_filter.h"
#include "platform/media/crit_sec.h"

class CBdaTunerOutputPin;
class CBdaTunerPropertyPin;

class CBdaTunerFilter : public CBaseFilter,
                        public IBDA_Topology,
                        public IBDA_DeviceControl,
                        public IKsPropertySet,
                        private IBdaSignalSource {
public:
    // What every call answers once the card is gone (ERROR_DEVICE_NOT_CONNECTED).
    static constexpr HRESULT kDeviceRemoved = MakeHresult(0x8007048F);

    using Surface = BdaPropertyRequest::Surface;
    // The interfaces a card can refuse.
    enum class Interface {
        FilterPropertySet,  // IKsPropertySet on the filter
        PinPropertySet,     // IKsPropertySet on Input0
        Topology,
        DeviceControl,
        SignalStatistics,  // IBDA_SignalStatistics on the tuner node
    };

    // `objectName` names the filter in diagnostics; its pins are named after it ("... input",
    // "... output").
    CBdaTunerFilter(const wchar_t* objectName, REFCLSID clsid, const GUID& medium);
    ~CBdaTunerFilter() override;

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

    // IKsPropertySet of the filter (Surface::Filter).
    HRESULT Set(REFGUID propertySet, DWORD propertyId, void* instanceData, DWORD instanceLength,
                void* propertyData, DWORD dataLength) override;
    HRESULT Get(REFGUID propertySet, DWORD propertyId, void* instanceData, DWORD instanceLength,
                void* propertyData, DWORD dataLength, DWORD* bytesReturned) override;
    HRESULT QuerySupported(REFGUID propertySet, DWORD propertyId, DWORD* typeSupport) override;

protected:
    friend class CBdaTunerPropertyPin;  // Input0 answers through the same driver

    // The card's property driver: every call of either property set.
    virtual HRESULT Property(const BdaPropertyRequest& request) = 0;
    // True when QueryInterface answers E_NOINTERFACE for `which`.
    virtual bool Refuses(Interface /*which*/) const { return false; }

    // CommitChanges: tune the card to the collected request.
    virtual HRESULT Tune(const BdaTuneRequest& request) = 0;
    virtual bool IsRemoved() const = 0;
    // Runs first in every CommitChanges; an answer given here is returned without tuning and
    // the request stays pending.
    virtual std::optional<HRESULT> InterceptCommit() { return std::nullopt; }

private:
    bool OffersSignalStatistics() const override;
    // IKsPropertySet of either surface, as one request to Property.
    HRESULT SetOn(Surface surface, REFGUID propertySet, DWORD propertyId, void* instanceData,
                  DWORD instanceLength, void* propertyData, DWORD dataLength);
    HRESULT GetOn(Surface surface, REFGUID propertySet, DWORD propertyId, void* instanceData,
                  DWORD instanceLength, void* propertyData, DWORD dataLength, DWORD* bytesReturned);
    HRESULT QuerySupportedOn(Surface surface, REFGUID propertySet, DWORD propertyId,
                             DWORD* typeSupport);
    template <typename I>
    HRESULT Offer(Interface which, I* object, void** ppv);

    CCritSec m_lock;
    std::unique_ptr<CBdaTunerPropertyPin> m_pInput;
    std::unique_ptr<CBdaTunerOutputPin> m_pOutput;
    CBdaTunerTopology m_topology;
};
