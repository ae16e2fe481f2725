#include "drivers/linuxdvb/linux_dvb_tuner_filter.h"

#include "drivers/linuxdvb/dvb_errors.h"
#include "drivers/linuxdvb/linux_dvb_card.h"
#include "drivers/linuxdvb/linux_dvb_demodulator_node.h"
#include "drivers/linuxdvb/linux_dvb_tuner_input_pin.h"
#include "drivers/linuxdvb/linux_dvb_tuner_node.h"
#include "drivers/linuxdvb/linux_dvb_tuner_output_pin.h"

namespace linuxdvb {

CLinuxDvbTunerFilter::CLinuxDvbTunerFilter(std::shared_ptr<CLinuxDvbCard> card)
    : CBaseFilter(L"Linux DVB tuner", nullptr, &m_lock, CLSID_LinuxDvbTunerFilter),
      m_pCard(std::move(card)),
      m_driver(*m_pCard) {
    m_pInput = std::make_unique<CLinuxDvbTunerInputPin>(this, &m_lock);
    m_pOutput = std::make_unique<CLinuxDvbTunerOutputPin>(this, &m_lock, m_pCard->Medium());
    m_pTunerNode = std::make_unique<CLinuxDvbTunerNode>(this);
    m_pDemodulatorNode = std::make_unique<CLinuxDvbDemodulatorNode>(this);
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
    if (node == nullptr) return E_POINTER;
    *node = nullptr;
    if (inputPinId != 0 || outputPinId != 1) return E_INVALIDARG;
    if (nodeType == kBdaTunerNode) {
        return m_pTunerNode->NonDelegatingQueryInterface(IUnknown::kIid,
                                                         reinterpret_cast<void**>(node));
    }
    if (nodeType == kBdaDemodulatorNode) {
        return m_pDemodulatorNode->NonDelegatingQueryInterface(IUnknown::kIid,
                                                               reinterpret_cast<void**>(node));
    }
    return E_INVALIDARG;
}

HRESULT CLinuxDvbTunerFilter::StartChanges() {
    std::lock_guard guard(m_pendingLock);
    m_bPending = false;
    return m_pCard->IsRemoved() ? kDeviceRemoved : S_OK;
}

HRESULT CLinuxDvbTunerFilter::CheckChanges() {
    return m_pCard->IsRemoved() ? kDeviceRemoved : S_OK;
}

HRESULT CLinuxDvbTunerFilter::CommitChanges() {
    DvbTuneRequest request;
    {
        std::lock_guard guard(m_pendingLock);
        request = m_pending;
        m_bPending = false;
    }
    return m_pCard->Tune(request);
}

HRESULT CLinuxDvbTunerFilter::GetChangeState(ULONG* state) {
    if (state == nullptr) return E_POINTER;
    std::lock_guard guard(m_pendingLock);
    *state = m_bPending ? 1 : 0;  // BDA_CHANGES_PENDING / BDA_CHANGES_COMPLETE
    return S_OK;
}

DvbTuneRequest CLinuxDvbTunerFilter::Pending() const {
    std::lock_guard guard(m_pendingLock);
    return m_pending;
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
