#include "drivers/linuxdvb/fake_sec_bus.h"

#include <fmt/format.h>

namespace linuxdvb::testing {

void FakeSecBus::SetVoltage(DvbVoltage value, std::int64_t nowMs, bool implicit) {
    voltage = value;
    FakeSecEvent event;
    event.kind = FakeSecEvent::Kind::Voltage;
    event.startMs = event.endMs = nowMs;
    event.voltage = value;
    event.implicit = implicit;
    timeline.push_back(std::move(event));
}

void FakeSecBus::SetTone(bool on, std::int64_t nowMs, bool implicit) {
    tone = on;
    FakeSecEvent event;
    event.kind = FakeSecEvent::Kind::Tone;
    event.startMs = event.endMs = nowMs;
    event.tone = on;
    event.implicit = implicit;
    timeline.push_back(std::move(event));
}

std::int64_t FakeSecBus::SendDiseqc(const std::vector<std::uint8_t>& message, std::int64_t nowMs) {
    FakeSecEvent event;
    event.kind = FakeSecEvent::Kind::Diseqc;
    event.startMs = nowMs;
    event.endMs = nowMs + static_cast<std::int64_t>(message.size()) * kFakeDiseqcByteMs;
    event.message = message;
    timeline.push_back(event);
    return event.endMs;
}

std::vector<std::string> SecRuleViolations(const std::vector<FakeSecEvent>& timeline,
                                           int powerUpMs) {
    // When something last happened. A flag and a time rather than std::optional, which GCC 12
    // takes for uninitialised once it is formatted.
    struct Mark {
        bool set = false;
        std::int64_t at = 0;
    };
    std::vector<std::string> violations;
    DvbVoltage voltage = DvbVoltage::Off;
    bool tone = false;
    Mark poweredAt;  // until the first message after power-up
    Mark lastVoltageChange;
    Mark lastToneChange;
    Mark lastMessageEnd;
    std::string lastMessage;

    for (const FakeSecEvent& event : timeline) {
        const std::int64_t at = event.startMs;
        switch (event.kind) {
            case FakeSecEvent::Kind::Voltage:
                if (event.voltage == voltage) break;
                if (voltage == DvbVoltage::Off) poweredAt = {true, at};
                lastVoltageChange = {true, at};
                voltage = event.voltage;
                break;
            case FakeSecEvent::Kind::Tone:
                if (event.tone == tone) break;
                tone = event.tone;
                if (event.implicit) break;
                if (lastMessageEnd.set && at - lastMessageEnd.at < kSecQuietMs)
                    violations.push_back(fmt::format(
                        "tone {} at {} ms: {} ms after the {} ended at {} ms (needs {})",
                        tone ? "on" : "off", at, at - lastMessageEnd.at, lastMessage,
                        lastMessageEnd.at, kSecQuietMs));
                lastToneChange = {true, at};
                break;
            case FakeSecEvent::Kind::Diseqc: {
                std::string text = "diseqc";
                for (const std::uint8_t byte : event.message) text += fmt::format(" {:02X}", byte);
                const std::string head = fmt::format("{} at {} ms: ", text, at);
                const auto tooSoon = [&](const Mark& since, const std::string& what, int needs) {
                    if (since.set && at - since.at < needs)
                        violations.push_back(fmt::format("{}{} ms after {} at {} ms (needs {})",
                                                         head, at - since.at, what, since.at,
                                                         needs));
                };
                if (voltage == DvbVoltage::Off) {
                    violations.push_back(head + "the LNB is not powered");
                } else {
                    tooSoon(poweredAt, "the LNB was powered", powerUpMs);
                }
                if (tone) violations.push_back(head + "sent with the tone on");
                tooSoon(lastVoltageChange, "the voltage change", kSecQuietMs);
                tooSoon(lastToneChange, "the tone change", kSecQuietMs);
                tooSoon(lastMessageEnd, fmt::format("the {} ended", lastMessage), kSecQuietMs);
                poweredAt.set = false;
                lastMessageEnd = {true, event.endMs};
                lastMessage = text;
                break;
            }
        }
    }
    return violations;
}

}  // namespace linuxdvb::testing
