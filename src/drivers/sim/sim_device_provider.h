#pragma once
// Publishes the simulated cards into the device registry for as long as it lives: for each card
// of the catalog a tuner, a receiver (capture) and a transport information device, after real
// hardware (kSimulatedRank), in catalog order within each category.
//
// The program makes one with the defaults, the options file SimulatedCard.ini of the
// configuration folder and the satellite files of the data folder, on a real-time clock. The
// files are read on a worker thread (CSimSky::Load): the devices are published at once, whatever
// the folder holds, and a card's first tuning waits for the reading.
// Tests pass options and a clock mode, and reach the cards, the clock and the removal hook here.
#include <cstddef>
#include <memory>
#include <vector>

#include "drivers/sim/sim_card.h"
#include "drivers/sim/sim_clock.h"
#include "drivers/sim/sim_options.h"
#include "drivers/sim/sim_sky.h"
#include "platform/devices/device_registry.h"

class CSimDeviceProvider {
public:
    CSimDeviceProvider();
    // The sky from the data folder's satellite folder; no options file is read.
    CSimDeviceProvider(const SimOptions& options, CSimClock::Mode mode);
    CSimDeviceProvider(const SimOptions& options, CSimClock::Mode mode, CSimSky sky);
    ~CSimDeviceProvider();
    CSimDeviceProvider(const CSimDeviceProvider&) = delete;
    CSimDeviceProvider& operator=(const CSimDeviceProvider&) = delete;

    std::size_t CardCount() const { return m_cards.size(); }
    // By catalog position: 0 Arden (PCI-E), 1 Glen (USB), 2 Heath (x-model).
    CSimCard& Card(std::size_t index) const { return *m_cards.at(index); }
    CSimClock& Clock() const { return *m_pClock; }
    const CSimSky& Sky() const { return *m_pSky; }

    // The card disappears: its devices are withdrawn, its streaming stops, everything on its
    // filters fails from now on, and DBT_DEVICEREMOVECOMPLETE is broadcast.
    void RemoveCard(std::size_t index);

private:
    void Publish(std::size_t index);

    std::shared_ptr<CSimClock> m_pClock;
    std::shared_ptr<const CSimSky> m_pSky;
    std::vector<std::shared_ptr<CSimCard>> m_cards;
    std::vector<CDevicePublication> m_publications;
};
