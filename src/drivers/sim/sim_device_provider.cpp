#include "drivers/sim/sim_device_provider.h"

#include <string>

#include "drivers/sim/sim_card_catalog.h"
#include "platform/devices/device_enum_interfaces.h"

CSimDeviceProvider::CSimDeviceProvider() {
    for (const SimCardSpec& card : kSimulatedCards) {
        DeviceDescriptor tuner;
        tuner.category = KSCATEGORY_BDA_NETWORK_TUNER;
        tuner.friendlyName = std::wstring(card.friendlyName);
        // The card's filters join with the media graph; until then the device does not bind.
        tuner.bindFilter = [](REFIID, void**) { return E_FAIL; };
        m_publication.Publish(kSimulatedRank, std::move(tuner));
    }
}
