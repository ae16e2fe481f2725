#pragma once
// The wire between a frontend and the LNB, switch and motor on its cable, driven by the DiSEqC
// bus rules: the 22 kHz tone off and at least kQuietMs of quiet before every message (kPowerUpMs
// when the LNB has just been powered: the kernel switches it off when the frontend is closed),
// kQuietMs after it before the tone or the next message, and afterwards the tone and voltage the
// tuned band needs (some drivers leave the tone off after a message).
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "drivers/linuxdvb/dvb_frontend_device.h"
#include "platform/com/hresult.h"

namespace linuxdvb {

class CDvbSecBus {
public:
    static constexpr int kQuietMs = 15;
    static constexpr int kPowerUpMs = 150;

    using Pause = std::function<void(int milliseconds)>;
    // Turns a call's errno into the result; `optional` marks a call a driver may lack (tone,
    // voltage), whose "not supported" lets the sequence go on.
    using Check = std::function<HRESULT(int error, const char* what, bool optional)>;

    CDvbSecBus(Pause pause, Check check);

    // The frontend has just been opened: the LNB is unpowered and the tone unknown.
    void Reset();
    // Tone off, the LNB at `voltage`, `message` (a switch's) if there is one, then `tone`.
    HRESULT Tune(IDvbFrontendDevice& device, DvbVoltage voltage, bool tone,
                 std::optional<std::span<const std::uint8_t>> message);
    // A message now (a motor's), then the voltage and tone of the last tune again.
    HRESULT Send(IDvbFrontendDevice& device, std::span<const std::uint8_t> message);

private:
    // Tone off, `voltage` (waiting for power-up or quiet), `message`, quiet.
    HRESULT Message(IDvbFrontendDevice& device, DvbVoltage voltage,
                    std::span<const std::uint8_t> message);

    const Pause m_pause;
    const Check m_check;
    std::optional<DvbVoltage> m_voltage;  // none: unpowered or not known
    bool m_bTone = false;
};

}  // namespace linuxdvb
