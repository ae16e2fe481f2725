#include "drivers/sim/sim_tuner_filter.h"

#include "drivers/kit/bda_tuner_output_pin.h"
#include "drivers/sim/sim_property_driver.h"
#include "drivers/sim/sim_tuner_input_pin.h"

CSimTunerFilter::CSimTunerFilter(std::shared_ptr<CSimCard> card)
    : CBaseFilter(L"simulated tuner", nullptr, &m_lock, CLSID_SimTunerFilter),
      m_pCard(std::move(card)),
      m_topology(this, this) {
    m_pInput = std::make_unique<CSimTunerInputPin>(this, &m_lock);
    m_pOutput = std::make_unique<CBdaTunerOutputPin>(L"simulated tuner output", this, &m_lock,
                                                     m_pCard->Profile().medium);
}

CSimTunerFilter::~CSimTunerFilter() = default;

HRESULT CSimTunerFilter::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    const CSimFaults& faults = m_pCard->Faults();
    if (iid == IBDA_Topology::kIid) {
        if (faults.IsRefused(CSimFaults::Interface::Topology)) return *ppv = nullptr, E_NOINTERFACE;
        return GetInterface(static_cast<IBDA_Topology*>(this), ppv);
    }
    if (iid == IBDA_DeviceControl::kIid) {
        if (faults.IsRefused(CSimFaults::Interface::DeviceControl)) return *ppv = nullptr, E_NOINTERFACE;
        return GetInterface(static_cast<IBDA_DeviceControl*>(this), ppv);
    }
    if (iid == IKsPropertySet::kIid) {
        if (faults.IsRefused(CSimFaults::Interface::FilterPropertySet)) return *ppv = nullptr, E_NOINTERFACE;
        return GetInterface(static_cast<IKsPropertySet*>(this), ppv);
    }
    return CBaseFilter::NonDelegatingQueryInterface(iid, ppv);
}

int CSimTunerFilter::GetPinCount() { return 2; }

CBasePin* CSimTunerFilter::GetPin(int n) {
    if (n == 0) return m_pInput.get();
    if (n == 1) return m_pOutput.get();
    return nullptr;
}

HRESULT CSimTunerFilter::GetControlNode(ULONG inputPinId, ULONG outputPinId, ULONG nodeType, IUnknown** node) {
    return m_topology.GetControlNode(inputPinId, outputPinId, nodeType, node);
}

HRESULT CSimTunerFilter::StartChanges() {
    m_topology.Pending().Begin();
    return m_pCard->IsRemoved() ? CSimCard::kDeviceRemoved : S_OK;
}

HRESULT CSimTunerFilter::CheckChanges() { return m_pCard->IsRemoved() ? CSimCard::kDeviceRemoved : S_OK; }

HRESULT CSimTunerFilter::CommitChanges() {
    // A copy, run without the fault lock: the action may take its time or set other faults.
    if (const auto action = m_pCard->Faults().CommitAction()) action();
    if (const auto failure = m_pCard->Faults().CommitFailure()) return *failure;
    return m_pCard->Tune(m_topology.Pending().Take());
}

HRESULT CSimTunerFilter::GetChangeState(ULONG* state) { return m_topology.GetChangeState(state); }

HRESULT CSimTunerFilter::ReadSignal(BdaSignal* signal) {
    if (const auto failure = m_pCard->Faults().StatisticsFailure()) return *failure;
    return m_pCard->ReadSignal(signal);
}

bool CSimTunerFilter::OffersSignalStatistics() const {
    return !m_pCard->Faults().IsRefused(CSimFaults::Interface::SignalStatistics);
}

HRESULT CSimTunerFilter::Set(REFGUID propertySet, DWORD propertyId, void* instanceData, DWORD instanceLength,
                             void* propertyData, DWORD dataLength) {
    return m_pCard->Driver().Set(CSimPropertyDriver::Surface::Filter, propertySet, propertyId, instanceData,
                                 instanceLength, propertyData, dataLength);
}

HRESULT CSimTunerFilter::Get(REFGUID propertySet, DWORD propertyId, void* instanceData, DWORD instanceLength,
                             void* propertyData, DWORD dataLength, DWORD* bytesReturned) {
    return m_pCard->Driver().Get(CSimPropertyDriver::Surface::Filter, propertySet, propertyId, instanceData,
                                 instanceLength, propertyData, dataLength, bytesReturned);
}

HRESULT CSimTunerFilter::QuerySupported(REFGUID propertySet, DWORD propertyId, DWORD* typeSupport) {
    return m_pCard->Driver().QuerySupported(CSimPropertyDriver::Surface::Filter, propertySet, propertyId, typeSupport);
}
