#pragma once
// A filter with pins described by the test, for building tuner graphs out of fake devices.
// Input pins take exactly their type (major type and subtype); output pins offer theirs.
// A property set can be attached to the filter or to one of its pins.
#include <memory>
#include <string>
#include <vector>

#include "platform/ks/ks_property_set.h"
#include "platform/media/base_filter.h"
#include "platform/media/crit_sec.h"

struct FakePinShape {
    std::wstring name;
    PIN_DIRECTION direction = PINDIR_INPUT;
    AM_MEDIA_TYPE type;
};

class CFakeFilter : public CBaseFilter {
public:
    explicit CFakeFilter(std::vector<FakePinShape> pins);
    ~CFakeFilter() override;

    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;
    int GetPinCount() override;
    CBasePin* GetPin(int n) override;

    // Answered through QueryInterface(IID_IKsPropertySet) on the filter / on pin `n`.
    void SetFilterPropertySet(IKsPropertySet* set) { m_pFilterPropertySet = set; }
    void SetPinPropertySet(int n, IKsPropertySet* set);
    // Answered for any other interface id the test names (e.g. IBDA_Topology).
    void SetExtraInterface(REFIID iid, IUnknown* object);

    static int LiveCount();

private:
    CCritSec m_lock;
    std::vector<std::unique_ptr<CBasePin>> m_pins;
    ComPtr<IKsPropertySet> m_pFilterPropertySet;
    IID m_extraIid = GUID_NULL;
    ComPtr<IUnknown> m_pExtra;
};

// The media types of the fake cards: the antenna link, and a card's own transport link.
AM_MEDIA_TYPE AntennaType();
AM_MEDIA_TYPE CardTransportType(int card);
