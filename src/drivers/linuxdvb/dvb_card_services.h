#pragma once
// What the Linux cards need beside the kernel: their clock, the rules of each kind of frontend
// (LinuxTuners.ini of the data folder), the memory of what locked (user configuration folder)
// and the satellite files' transponders (data folder). Tests give their own.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "drivers/linuxdvb/dvb_driver_rules.h"
#include "drivers/linuxdvb/dvb_lock_memory.h"
#include "drivers/linuxdvb/dvb_transponder_hints.h"

namespace linuxdvb {

struct DvbCardTiming {
    // The quiet and power-up times of the DiSEqC bus.
    std::function<void(int milliseconds)> pause;
    // The waits between two looks at the lock during a search.
    std::function<void(int milliseconds)> wait;
    // Milliseconds of a steady clock.
    std::function<std::int64_t()> now;

    static DvbCardTiming Real();
};

struct DvbCardServices {
    DvbCardTiming timing;
    std::function<DvbDriverRules(const std::string& frontendName)> rules;
    std::shared_ptr<CDvbLockMemory> memory;       // null: nothing is remembered
    std::shared_ptr<CDvbTransponderHints> hints;  // null: no satellite files

    static DvbCardServices Real();
};

}  // namespace linuxdvb
