#include "drivers/linuxdvb/dvb_sec_bus.h"

#include "drivers/linuxdvb/dvb_errors.h"

namespace linuxdvb {

CDvbSecBus::CDvbSecBus(Pause pause, Check check)
    : m_pause(std::move(pause)), m_check(std::move(check)) {}

void CDvbSecBus::Reset() {
    m_voltage.reset();
    m_bTone = false;
}

HRESULT CDvbSecBus::Message(IDvbFrontendDevice& device, DvbVoltage voltage,
                            std::span<const std::uint8_t> message) {
    HRESULT hr = m_check(device.SetTone(false), "FE_SET_TONE off", true);
    if (FAILED(hr)) return hr;
    const bool cold = !m_voltage || *m_voltage == DvbVoltage::Off;
    if (FAILED(hr = m_check(device.SetVoltage(voltage), "FE_SET_VOLTAGE", true))) return hr;
    m_voltage = voltage;
    m_pause(cold ? kPowerUpMs : kQuietMs);
    hr = m_check(device.SendDiseqc(message), "FE_DISEQC_SEND_MASTER_CMD", false);
    m_pause(kQuietMs);
    return hr;
}

HRESULT CDvbSecBus::Tune(IDvbFrontendDevice& device, DvbVoltage voltage, bool tone,
                         std::optional<std::span<const std::uint8_t>> message) {
    HRESULT hr = S_OK;
    if (message) {
        hr = Message(device, voltage, *message);
    } else {
        if (FAILED(hr = m_check(device.SetTone(false), "FE_SET_TONE off", true))) return hr;
        hr = m_check(device.SetVoltage(voltage), "FE_SET_VOLTAGE", true);
        if (SUCCEEDED(hr)) m_voltage = voltage;
    }
    if (FAILED(hr)) return hr;
    if (FAILED(hr = m_check(device.SetTone(tone), "FE_SET_TONE", true))) return hr;
    m_bTone = tone;
    return S_OK;
}

HRESULT CDvbSecBus::Send(IDvbFrontendDevice& device, std::span<const std::uint8_t> message) {
    // A motor on a cable nobody has tuned yet still needs power.
    const DvbVoltage voltage = m_voltage.value_or(DvbVoltage::Volt13);
    const DvbVoltage powered = voltage == DvbVoltage::Off ? DvbVoltage::Volt13 : voltage;
    const HRESULT sent = Message(device, powered, message);
    // A removed card has no device left to restore.
    if (sent == kDeviceRemoved) return sent;
    // The band of the last tune comes back even when the message failed.
    HRESULT hr = m_check(device.SetVoltage(m_voltage.value_or(powered)), "FE_SET_VOLTAGE", true);
    if (SUCCEEDED(hr)) hr = m_check(device.SetTone(m_bTone), "FE_SET_TONE", true);
    return FAILED(sent) ? sent : hr;
}

}  // namespace linuxdvb
