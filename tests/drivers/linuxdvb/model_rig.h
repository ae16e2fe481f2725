#pragma once
// A Linux card on a model of a real frontend driver (fake_driver_model.h), remembering what
// locked in a file of its own and, if given, knowing the satellite files: for the tests of the
// lock search and the benchmark of its time to lock.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "drivers/linuxdvb/linux_dvb_test_rig.h"
#include "support/temp_folder.h"

namespace linuxdvb::testing {

// The carrier a tune of `tune` finds on air: its IF, voltage and band, with the pilots most
// carriers of that modulation have and roll-off 0.20 in DVB-S2.
FakeCarrier CarrierAt(const Tune& tune, std::uint32_t system, std::uint32_t modulation,
                      std::uint32_t fec);

class CModelRig {
public:
    explicit CModelRig(const FakeDriverModel& model, std::string frontendName = {},
                       std::shared_ptr<CDvbTransponderHints> hints = nullptr);

    CLinuxDvbTestRig& Rig() { return m_rig; }
    CFakeDvbKernel& Kernel() { return m_rig.Kernel(); }

    bool Locked();
    // Fake milliseconds from now until the card reports lock, or none within `budgetMs`. The
    // card's search thread moves the fake clock while it searches; between searches (one
    // attempt left to the kernel) this does, as time passes for a real card.
    std::optional<std::int64_t> WaitForLock(std::int64_t budgetMs);
    std::size_t Tunes();

private:
    static DvbFrontendDescription Frontend(const FakeDriverModel& model, std::string name);

    CTempFolder m_folder;
    std::string m_memoryPath;
    CLinuxDvbTestRig m_rig;
};

}  // namespace linuxdvb::testing
