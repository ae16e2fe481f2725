#pragma once
// The LNB and DiSEqC bus as the fake frontend drives it: the voltage and 22 kHz tone now, and a
// timeline of every change and message on the fake clock, which the tests check against the
// DiSEqC bus rules (quiet times around messages, no tone under a message, power-up time).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "drivers/linuxdvb/dvb_kernel_types.h"

namespace linuxdvb::testing {

// A DiSEqC byte is 9 bits of 1.5 ms (13.5 ms); drivers wait about 15 ms a byte, so a 4-byte
// command holds the bus for 60 ms of fake time.
inline constexpr int kFakeDiseqcByteMs = 15;
// The minimum quiet around a message and between a voltage change and a message.
inline constexpr int kSecQuietMs = 15;

struct FakeSecEvent {
    enum class Kind {
        Voltage,  // the LNB supply changed (or was set again)
        Tone,     // the continuous 22 kHz tone switched
        Diseqc,   // a master command was on the bus from startMs to endMs
    };
    Kind kind = Kind::Voltage;
    std::int64_t startMs = 0;
    std::int64_t endMs = 0;
    DvbVoltage voltage = DvbVoltage::Off;
    bool tone = false;
    std::vector<std::uint8_t> message;
    // Done by the driver or the DVB core, not asked for: the tone a driver leaves off after a
    // message, the LNB power-down when the frontend is closed. Changes the state, breaks no rule.
    bool implicit = false;
};

struct FakeSecBus {
    DvbVoltage voltage = DvbVoltage::Off;  // unpowered until a program sets it
    bool tone = false;
    std::vector<FakeSecEvent> timeline;

    void SetVoltage(DvbVoltage value, std::int64_t nowMs, bool implicit = false);
    void SetTone(bool on, std::int64_t nowMs, bool implicit = false);
    // Returns when the message has left the bus.
    std::int64_t SendDiseqc(const std::vector<std::uint8_t>& message, std::int64_t nowMs);
};

// Every breach of the bus rules in the timeline, in words, in time order: less than kSecQuietMs
// from a voltage or tone change to the next message, or from a message's end to the next tone
// change or message; a message with the tone on or the LNB unpowered; less than `powerUpMs` from
// the LNB being powered (from off, or never set) to its first message.
std::vector<std::string> SecRuleViolations(const std::vector<FakeSecEvent>& timeline,
                                           int powerUpMs);

}  // namespace linuxdvb::testing
