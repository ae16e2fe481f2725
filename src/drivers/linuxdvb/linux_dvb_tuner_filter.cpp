#include "drivers/linuxdvb/linux_dvb_tuner_filter.h"

#include "drivers/linuxdvb/dvb_errors.h"
#include "drivers/linuxdvb/linux_dvb_card.h"

namespace linuxdvb {

static_assert(kDeviceRemoved == CBdaTunerFilter::kDeviceRemoved);

CLinuxDvbTunerFilter::CLinuxDvbTunerFilter(std::shared_ptr<CLinuxDvbCard> card)
    : CBdaTunerFilter(L"Linux DVB tuner", CLSID_LinuxDvbTunerFilter, card->Medium()),
      m_pCard(std::move(card)),
      m_driver(*m_pCard) {
    m_pCard->AttachTuner();
}

CLinuxDvbTunerFilter::~CLinuxDvbTunerFilter() {
    m_pCard->DetachTuner();
}

HRESULT CLinuxDvbTunerFilter::Property(const BdaPropertyRequest& request) {
    const auto surface = request.surface == Surface::Pin ? CLinuxDvbPropertyDriver::Surface::Pin
                                                         : CLinuxDvbPropertyDriver::Surface::Filter;
    switch (request.operation) {
        case BdaPropertyRequest::Operation::QuerySupported:
            return m_driver.QuerySupported(surface, request.set, request.id, request.typeSupport);
        case BdaPropertyRequest::Operation::Get:
            return m_driver.Get(surface, request.set, request.id, request.instanceData,
                                request.instanceLength, request.propertyData, request.dataLength,
                                request.bytesReturned);
        case BdaPropertyRequest::Operation::Set:
            return m_driver.Set(surface, request.set, request.id, request.propertyData,
                                request.dataLength);
    }
    return E_INVALIDARG;
}

HRESULT CLinuxDvbTunerFilter::Tune(const BdaTuneRequest& request) {
    return m_pCard->Tune(request);
}

bool CLinuxDvbTunerFilter::IsRemoved() const {
    return m_pCard->IsRemoved();
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

}  // namespace linuxdvb
