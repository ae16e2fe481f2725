#pragma once
// The simulated sky's heaviest realistic carrier, for load tests and benchmarks: DVB-S2 32APSK
// 3/4 at 27 MBd, a useful bit rate of 100.0 Mbit/s, 12000 MHz H at 19.2 E (behind switch port B).
#include <string>
#include <utility>

#include "drivers/sim/sim_carrier.h"

inline SimCarrier HundredMegabitCarrier(std::string satellite) {
    SimCarrier carrier;
    carrier.orbitalTenthsEast = 192;
    carrier.satellite = std::move(satellite);
    carrier.frequencyKHz = 12'000'000;
    carrier.polarisation = 'H';
    carrier.symbolRate = 27'000'000;
    carrier.system = SimSystem::DvbS2;
    carrier.modulation = dvb_rate::Modulation::Apsk32;
    carrier.rate = dvb_rate::CodeRate::R3_4;
    return carrier;
}
