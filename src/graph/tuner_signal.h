#pragma once
// One look at the tuner's signal statistics (lock, strength, quality), under the driver mutex:
// what the signal monitor polls and what a tune waits on.
#include <cstdint>

struct SignalReading {
    std::uint8_t quality = 0;
    std::uint8_t strength = 0;
    std::uint8_t locked = 0;  // 1 locked; 255 when the poll failed

    friend bool operator==(const SignalReading&, const SignalReading&) = default;
};

struct SignalQuery {
    bool noTopology = false;  // the tuner offers no topology: the monitor ends
    SignalReading reading;
};

class CTunerSession;

SignalQuery QueryTunerSignal(CTunerSession& session);
