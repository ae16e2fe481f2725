#include "drivers/sim/sim_tuner_filter.h"

#include "drivers/sim/sim_property_driver.h"

static_assert(CSimCard::kDeviceRemoved == CBdaTunerFilter::kDeviceRemoved);

namespace {

CSimFaults::Interface FaultInterface(CBdaTunerFilter::Interface which) {
    switch (which) {
        case CBdaTunerFilter::Interface::FilterPropertySet:
            return CSimFaults::Interface::FilterPropertySet;
        case CBdaTunerFilter::Interface::PinPropertySet:
            return CSimFaults::Interface::PinPropertySet;
        case CBdaTunerFilter::Interface::Topology:
            return CSimFaults::Interface::Topology;
        case CBdaTunerFilter::Interface::DeviceControl:
            return CSimFaults::Interface::DeviceControl;
        case CBdaTunerFilter::Interface::SignalStatistics:
            return CSimFaults::Interface::SignalStatistics;
    }
    return CSimFaults::Interface::SignalStatistics;
}

}  // namespace

CSimTunerFilter::CSimTunerFilter(std::shared_ptr<CSimCard> card)
    : CBdaTunerFilter(L"simulated tuner", CLSID_SimTunerFilter, card->Profile().medium),
      m_pCard(std::move(card)) {}

CSimTunerFilter::~CSimTunerFilter() = default;

HRESULT CSimTunerFilter::Property(const BdaPropertyRequest& request) {
    CSimPropertyDriver& driver = m_pCard->Driver();
    const auto surface = request.surface == Surface::Pin ? CSimPropertyDriver::Surface::Pin
                                                         : CSimPropertyDriver::Surface::Filter;
    switch (request.operation) {
        case BdaPropertyRequest::Operation::QuerySupported:
            return driver.QuerySupported(surface, request.set, request.id, request.typeSupport);
        case BdaPropertyRequest::Operation::Get:
            return driver.Get(surface, request.set, request.id, request.instanceData,
                              request.instanceLength, request.propertyData, request.dataLength,
                              request.bytesReturned);
        case BdaPropertyRequest::Operation::Set:
            return driver.Set(surface, request.set, request.id, request.instanceData,
                              request.instanceLength, request.propertyData, request.dataLength);
    }
    return E_INVALIDARG;
}

bool CSimTunerFilter::Refuses(Interface which) const {
    return m_pCard->Faults().IsRefused(FaultInterface(which));
}

HRESULT CSimTunerFilter::Tune(const BdaTuneRequest& request) {
    return m_pCard->Tune(request);
}

bool CSimTunerFilter::IsRemoved() const {
    return m_pCard->IsRemoved();
}

std::optional<HRESULT> CSimTunerFilter::InterceptCommit() {
    // A copy, run without the fault lock: the action may take its time or set other faults.
    if (const auto action = m_pCard->Faults().CommitAction()) action();
    return m_pCard->Faults().CommitFailure();
}

HRESULT CSimTunerFilter::ReadSignal(BdaSignal* signal) {
    if (const auto failure = m_pCard->Faults().StatisticsFailure()) return *failure;
    return m_pCard->ReadSignal(signal);
}
