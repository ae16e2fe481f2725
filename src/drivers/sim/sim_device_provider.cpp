#include "drivers/sim/sim_device_provider.h"

#include <string>

#include "drivers/sim/sim_capture_filter.h"
#include "drivers/sim/sim_card_catalog.h"
#include "drivers/sim/sim_tuner_filter.h"
#include "platform/com/co_create.h"
#include "platform/devices/device_enum_interfaces.h"
#include "platform/devices/device_event_hub.h"
#include "platform/media/media_interfaces.h"
#include "platform/win/file_locations.h"
#include "platform/win/known_folders.h"

namespace {

// Creates a filter object and answers it as `iid`, as a device's BindToObject does.
template <typename TFilter>
HRESULT BindNew(const std::shared_ptr<CSimCard>& card, REFIID iid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (card->IsRemoved()) return CSimCard::kDeviceRemoved;
    return AnswerNewObject(new TFilter(card), iid, ppv);
}

}  // namespace

CSimDeviceProvider::CSimDeviceProvider()
    : CSimDeviceProvider(ReadSimOptions(platform::SimOptionsFile()), CSimClock::Mode::RealTime) {}

CSimDeviceProvider::CSimDeviceProvider(const SimOptions& options, CSimClock::Mode mode)
    : CSimDeviceProvider(options, mode,
                         CSimSky::Load(platform::SatelliteFolder(platform::DataFolder()))) {}

CSimDeviceProvider::CSimDeviceProvider(const SimOptions& options, CSimClock::Mode mode, CSimSky sky)
    : m_pClock(std::make_shared<CSimClock>(mode)),
      m_pSky(std::make_shared<const CSimSky>(std::move(sky))) {
    for (std::size_t i = 0; i < kSimulatedCards.size(); ++i) {
        m_cards.push_back(std::make_shared<CSimCard>(kSimulatedCards[i], options, m_pSky, m_pClock,
                                                     options.seed + i));
    }
    m_publications.resize(m_cards.size());
    for (std::size_t i = 0; i < m_cards.size(); ++i) Publish(i);
}

CSimDeviceProvider::~CSimDeviceProvider() {
    for (CDevicePublication& publication : m_publications) publication.WithdrawAll();
}

void CSimDeviceProvider::Publish(std::size_t index) {
    const std::shared_ptr<CSimCard> card = m_cards[index];
    const SimCardProfile& profile = card->Profile();
    CDevicePublication& publication = m_publications[index];

    DeviceDescriptor tuner;
    tuner.category = KSCATEGORY_BDA_NETWORK_TUNER;
    tuner.friendlyName = std::wstring(profile.friendlyName);
    tuner.bindFilter = [card](REFIID iid, void** ppv) {
        return BindNew<CSimTunerFilter>(card, iid, ppv);
    };
    tuner.kind = "simulated";
    publication.Publish(kSimulatedRank, std::move(tuner));

    DeviceDescriptor receiver;
    receiver.category = KSCATEGORY_BDA_RECEIVER_COMPONENT;
    receiver.friendlyName = std::wstring(profile.receiverName);
    receiver.bindFilter = [card](REFIID iid, void** ppv) {
        return BindNew<CSimCaptureFilter>(card, iid, ppv);
    };
    publication.Publish(kSimulatedRank, std::move(receiver));

    DeviceDescriptor information;
    information.category = KSCATEGORY_BDA_TRANSPORT_INFORMATION;
    information.friendlyName = std::wstring(profile.transportInfoName);
    information.bindFilter = [](REFIID iid, void** ppv) {
        return CoCreateInstance(CLSID_TransportInformationFilter, nullptr, CLSCTX_INPROC_SERVER,
                                iid, ppv);
    };
    publication.Publish(kSimulatedRank, std::move(information));
}

void CSimDeviceProvider::RemoveCard(std::size_t index) {
    CSimCard& card = *m_cards.at(index);
    if (card.IsRemoved()) return;
    m_publications[index].WithdrawAll();
    card.Remove();
    CDeviceEventHub::Instance().Broadcast(DBT_DEVICEREMOVECOMPLETE);
}
