#include "drivers/linuxdvb/dvb_card_services.h"

#include <chrono>
#include <thread>

#include "drivers/linuxdvb/linux_tuner_names.h"
#include "platform/win/file_locations.h"
#include "platform/win/known_folders.h"

namespace linuxdvb {

namespace {

void SleepMs(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

DvbCardTiming DvbCardTiming::Real() {
    return DvbCardTiming{SleepMs, SleepMs, SteadyMs};
}

DvbCardServices DvbCardServices::Real() {
    const std::string rulesPath = platform::LinuxTunerNamesFile(platform::DataFolder());
    return DvbCardServices{
        DvbCardTiming::Real(),
        [rulesPath](const std::string& name) { return DvbDriverRules::Load(rulesPath, name); },
        std::make_shared<CDvbLockMemory>(platform::LockMemoryFile()),
        std::make_shared<CDvbTransponderHints>(platform::SatelliteFolder(platform::DataFolder()))};
}

}  // namespace linuxdvb
