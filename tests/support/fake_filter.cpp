#include "support/fake_filter.h"

#include <atomic>

#include "platform/bda/bda_device_interfaces.h"
#include "platform/media/base_input_pin.h"
#include "platform/media/base_output_pin.h"

namespace {

std::atomic<int> g_liveFilters{0};

template <typename Base>
class CFakePin : public Base {
public:
    CFakePin(CBaseFilter* filter, CCritSec* lock, const FakePinShape& shape)
        : Base(nullptr, filter, lock, &m_hr, shape.name.c_str()), m_type(shape.type) {}

    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override {
        if (iid == IKsPropertySet::kIid && m_pPropertySet) {
            return m_pPropertySet->QueryInterface(iid, ppv);
        }
        return Base::NonDelegatingQueryInterface(iid, ppv);
    }
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* pmt) override {
        return pmt->majortype == m_type.majortype && pmt->subtype == m_type.subtype ? S_OK
                                                                                    : S_FALSE;
    }
    HRESULT GetMediaType(int position, AM_MEDIA_TYPE* pmt) override {
        if (position < 0) return E_INVALIDARG;
        if (position > 0) return VFW_S_NO_MORE_ITEMS;
        *pmt = m_type;
        return S_OK;
    }
    void SetPropertySet(IKsPropertySet* set) { m_pPropertySet = set; }

private:
    HRESULT m_hr = S_OK;
    AM_MEDIA_TYPE m_type;
    ComPtr<IKsPropertySet> m_pPropertySet;
};

class CFakeInputPin : public CFakePin<CBaseInputPin> {
    using CFakePin::CFakePin;
};

class CFakeOutputPin : public CFakePin<CBaseOutputPin> {
    using CFakePin::CFakePin;
};

const CLSID kFakeFilterClass = com::MakeGuid("{FA4EF11E-0000-4000-8000-000000000001}");

}  // namespace

CFakeFilter::CFakeFilter(std::vector<FakePinShape> pins)
    : CBaseFilter(L"fake", nullptr, &m_lock, kFakeFilterClass) {
    ++g_liveFilters;
    for (const auto& shape : pins) {
        if (shape.direction == PINDIR_INPUT) {
            m_pins.push_back(std::make_unique<CFakeInputPin>(this, &m_lock, shape));
        } else {
            m_pins.push_back(std::make_unique<CFakeOutputPin>(this, &m_lock, shape));
        }
    }
}

CFakeFilter::~CFakeFilter() {
    --g_liveFilters;
}

int CFakeFilter::LiveCount() {
    return g_liveFilters.load();
}

HRESULT CFakeFilter::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (iid == IKsPropertySet::kIid && m_pFilterPropertySet)
        return m_pFilterPropertySet->QueryInterface(iid, ppv);
    if (iid == m_extraIid && m_pExtra) return m_pExtra->QueryInterface(iid, ppv);
    return CBaseFilter::NonDelegatingQueryInterface(iid, ppv);
}

int CFakeFilter::GetPinCount() {
    return static_cast<int>(m_pins.size());
}

CBasePin* CFakeFilter::GetPin(int n) {
    return n >= 0 && n < GetPinCount() ? m_pins[static_cast<std::size_t>(n)].get() : nullptr;
}

void CFakeFilter::SetPinPropertySet(int n, IKsPropertySet* set) {
    CBasePin* pin = GetPin(n);
    if (auto* input = dynamic_cast<CFakeInputPin*>(pin)) input->SetPropertySet(set);
    if (auto* output = dynamic_cast<CFakeOutputPin*>(pin)) output->SetPropertySet(set);
}

void CFakeFilter::SetExtraInterface(REFIID iid, IUnknown* object) {
    m_extraIid = iid;
    m_pExtra = object;
}

AM_MEDIA_TYPE AntennaType() {
    AM_MEDIA_TYPE mt;
    mt.majortype = KSDATAFORMAT_TYPE_BDA_ANTENNA;
    mt.subtype = CLSID_DVBSNetworkProvider;
    return mt;
}

AM_MEDIA_TYPE CardTransportType(int card) {
    AM_MEDIA_TYPE mt;
    mt.majortype = KSDATAFORMAT_TYPE_STREAM;
    mt.subtype = com::MakeGuid("{CA4D0000-0000-4000-8000-000000000000}");
    mt.subtype.Data1 += static_cast<std::uint32_t>(card);
    return mt;
}
