#include "drivers/linuxdvb/linux_dvb_tuner_filter.h"

#include "drivers/kit/bda_tuner_output_pin.h"
#include "drivers/linuxdvb/dvb_errors.h"
#include "drivers/linuxdvb/linux_dvb_card.h"
#include "drivers/linuxdvb/linux_dvb_tuner_input_pin.h"

namespace linuxdvb {

CLinuxDvbTunerFilter::CLinuxDvbTunerFilter(std::shared_ptr<CLinuxDvbCard> card)
    : CBaseFilter(L"Linux DVB tuner", nullptr, &m_lock, CLSID_LinuxDvbTunerFilter),
      m_pCard(std::move(card)),
      m_driver(*m_pCard),
      m_topology(this, this) {
    m_pInput = std::make_unique<CLinuxDvbTunerInputPin>(this, &m_lock);
    m_pOutput = std::make_unique<CBdaTunerOutputPin>(L"Linux DVB tuner output", this, &m_lock,
                                                     m_pCard->Medium());
    m_pCard->AttachTuner();
}

CLinuxDvbTunerFilter::~CLinuxDvbTunerFilter() {
    m_pCard->DetachTuner();
}

HRESULT CLinuxDvbTunerFilter::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (iid == IBDA_Topology::kIid) return GetInterface(static_cast<IBDA_Topology*>(this), ppv);
    if (iid == IBDA_DeviceControl::kIid)
        return GetInterface(static_cast<IBDA_DeviceControl*>(this), ppv);
    if (iid == IKsPropertySet::kIid) return GetInterface(static_cast<IKsPropertySet*>(this), ppv);
    return CBaseFilter::NonDelegatingQueryInterface(iid, ppv);
}

int CLinuxDvbTunerFilter::GetPinCount() {
    return 2;
}

CBasePin* CLinuxDvbTunerFilter::GetPin(int n) {
    if (n == 0) return m_pInput.get();
    if (n == 1) return m_pOutput.get();
    return nullptr;
}

HRESULT CLinuxDvbTunerFilter::GetControlNode(ULONG inputPinId, ULONG outputPinId, ULONG nodeType,
                                             IUnknown** node) {
    return m_topology.GetControlNode(inputPinId, outputPinId, nodeType, node);
}

HRESULT CLinuxDvbTunerFilter::StartChanges() {
    m_topology.Pending().Begin();
    return m_pCard->IsRemoved() ? kDeviceRemoved : S_OK;
}

HRESULT CLinuxDvbTunerFilter::CheckChanges() {
    return m_pCard->IsRemoved() ? kDeviceRemoved : S_OK;
}

HRESULT CLinuxDvbTunerFilter::CommitChanges() {
    return m_pCard->Tune(m_topology.Pending().Take());
}

HRESULT CLinuxDvbTunerFilter::GetChangeState(ULONG* state) {
    return m_topology.GetChangeState(state);
}

HRESULT CLinuxDvbTunerFilter::ReadSignal(BdaSignal* signal) {
    DvbSignal frontend;
    const HRESULT hr = m_pCard->ReadSignal(frontend);
    if (FAILED(hr)) return hr;
    signal->locked = frontend.locked;
    signal->present = frontend.strength > 0;
    signal->strength = frontend.strength;
    signal->quality = frontend.quality;
    return S_OK;
}

HRESULT CLinuxDvbTunerFilter::Set(REFGUID propertySet, DWORD propertyId, void* /*instanceData*/,
                                  DWORD /*instanceLength*/, void* propertyData, DWORD dataLength) {
    return m_driver.Set(CLinuxDvbPropertyDriver::Surface::Filter, propertySet, propertyId,
                        propertyData, dataLength);
}

HRESULT CLinuxDvbTunerFilter::Get(REFGUID propertySet, DWORD propertyId, void* /*instanceData*/,
                                  DWORD /*instanceLength*/, void* propertyData, DWORD dataLength,
                                  DWORD* bytesReturned) {
    return m_driver.Get(CLinuxDvbPropertyDriver::Surface::Filter, propertySet, propertyId,
                        propertyData, dataLength, bytesReturned);
}

HRESULT CLinuxDvbTunerFilter::QuerySupported(REFGUID propertySet, DWORD propertyId,
                                             DWORD* typeSupport) {
    return m_driver.QuerySupported(CLinuxDvbPropertyDriver::Surface::Filter, propertySet,
                                   propertyId, typeSupport);
}

}  // namespace linuxdvb
