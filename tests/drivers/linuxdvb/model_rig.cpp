#include "drivers/linuxdvb/model_rig.h"

#include <chrono>
#include <thread>
#include <utility>

namespace linuxdvb::testing {

FakeCarrier CarrierAt(const Tune& tune, std::uint32_t system, std::uint32_t modulation,
                      std::uint32_t fec) {
    FakeCarrier carrier;
    carrier.ifKHz = tune.frequencyMHz > tune.switchMHz
                        ? static_cast<std::uint32_t>(tune.frequencyMHz - tune.highMHz) * 1000
                        : static_cast<std::uint32_t>(tune.frequencyMHz - tune.lowMHz) * 1000;
    carrier.voltage = tune.polarisation == 'H' ? DvbVoltage::Volt18 : DvbVoltage::Volt13;
    carrier.tone = tune.frequencyMHz > tune.switchMHz;
    carrier.symbolRate = static_cast<std::uint32_t>(tune.symbolRateKsps) * 1000;
    carrier.deliverySystem = system;
    carrier.modulation = modulation;
    carrier.fec = fec;
    carrier.pilot = modulation == QPSK ? PILOT_OFF : PILOT_ON;
    carrier.rollOff = system == SYS_DVBS ? ROLLOFF_35 : ROLLOFF_20;
    return carrier;
}

CModelRig::CModelRig(const FakeDriverModel& model, std::string frontendName,
                     std::shared_ptr<CDvbTransponderHints> hints)
    : m_memoryPath(m_folder.File("locks.ini")),
      m_rig(Frontend(model, std::move(frontendName)), [&](CFakeDvbKernel& kernel) {
          DvbCardServices services = FakeCardServices(kernel);
          services.memory = std::make_shared<CDvbLockMemory>(m_memoryPath);
          services.hints = hints;
          return services;
      }) {
    m_rig.Kernel().UseModel(model);
}

bool CModelRig::Locked() {
    LONG strength = 0;
    LONG quality = 0;
    BOOLEAN locked = 0;
    return SUCCEEDED(m_rig.ReadSignal(strength, quality, locked)) && locked == 1;
}

std::optional<std::int64_t> CModelRig::WaitForLock(std::int64_t budgetMs) {
    const std::int64_t start = Kernel().NowMs();
    const auto realDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    std::optional<std::int64_t> lockedAt;
    while ((lockedAt || Kernel().NowMs() - start <= budgetMs) &&
           std::chrono::steady_clock::now() < realDeadline) {
        if (!lockedAt && Locked()) lockedAt = Kernel().NowMs() - start;
        const bool searching = m_rig.Card().SearchProgress().searching;
        // The lock is the window's as soon as the kernel reports it; the search thread sees it
        // at its next poll and only then remembers it, which the next tune of a test relies on.
        if (lockedAt && !searching) return lockedAt;
        if (searching) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        } else {
            std::lock_guard guard(Kernel().state->lock);
            Kernel().state->nowMs += CLinuxDvbCard::kSearchPollMs;
        }
    }
    return std::nullopt;
}

std::size_t CModelRig::Tunes() {
    std::lock_guard guard(Kernel().state->lock);
    return Kernel().state->tunes.size();
}

DvbFrontendDescription CModelRig::Frontend(const FakeDriverModel& model, std::string name) {
    DvbFrontendDescription frontend = FrontendFor(model);
    if (!name.empty()) frontend.name = std::move(name);
    return frontend;
}

}  // namespace linuxdvb::testing
