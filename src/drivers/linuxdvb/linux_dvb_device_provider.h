#pragma once
// Publishes the DVB-S/S2 frontends of /dev/dvb into the device registry for as long as it
// lives: for each a tuner, a receiver (capture) and a transport information device, before the
// simulated cards (kRealHardwareRank), in (adapter, frontend) order within each category.
// Frontends without DVB-S or DVB-S2 are left out. Tuner names come from the naming table
// (CLinuxTunerNames): "<model> (<kernel name>, adapter N)".
#include <cstddef>
#include <memory>
#include <vector>

#include "drivers/linuxdvb/dvb_kernel.h"
#include "drivers/linuxdvb/linux_dvb_card.h"
#include "drivers/linuxdvb/linux_tuner_names.h"
#include "platform/devices/device_registry.h"

namespace linuxdvb {

class CLinuxDvbDeviceProvider {
public:
    // The kernel's frontends, named and ruled by LinuxTuners.ini of the data folder.
    CLinuxDvbDeviceProvider();
    CLinuxDvbDeviceProvider(const std::shared_ptr<IDvbKernel>& kernel,
                            const CLinuxTunerNames& names, const DvbCardServices& services);
    ~CLinuxDvbDeviceProvider();
    CLinuxDvbDeviceProvider(const CLinuxDvbDeviceProvider&) = delete;
    CLinuxDvbDeviceProvider& operator=(const CLinuxDvbDeviceProvider&) = delete;

    std::size_t CardCount() const { return m_cards.size(); }
    CLinuxDvbCard& Card(std::size_t index) const { return *m_cards.at(index); }

private:
    void Publish(const std::shared_ptr<CLinuxDvbCard>& card);

    std::vector<std::shared_ptr<CLinuxDvbCard>> m_cards;
    CDevicePublication m_publication;
};

}  // namespace linuxdvb
