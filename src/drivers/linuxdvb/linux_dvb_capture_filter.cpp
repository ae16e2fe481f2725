#include "drivers/linuxdvb/linux_dvb_capture_filter.h"

#include "drivers/kit/bda_capture_input_pin.h"
#include "drivers/linuxdvb/linux_dvb_capture_output_pin.h"
#include "drivers/linuxdvb/linux_dvb_card.h"

namespace linuxdvb {

CLinuxDvbCaptureFilter::CLinuxDvbCaptureFilter(std::shared_ptr<CLinuxDvbCard> card)
    : CBaseFilter(L"Linux DVB capture", nullptr, &m_lock, CLSID_LinuxDvbCaptureFilter),
      m_pCard(std::move(card)) {
    m_pInput = std::make_unique<CBdaCaptureInputPin>(L"Linux DVB capture input", this, &m_lock,
                                                     m_pCard->Medium());
    m_pOutput = std::make_unique<CLinuxDvbCaptureOutputPin>(
        this, &m_lock, [card = m_pCard](std::unique_ptr<IDvbStreamDevice>& stream) {
            return card->OpenStream(stream);
        });
}

CLinuxDvbCaptureFilter::~CLinuxDvbCaptureFilter() = default;

int CLinuxDvbCaptureFilter::GetPinCount() {
    return 2;
}

CBasePin* CLinuxDvbCaptureFilter::GetPin(int n) {
    if (n == 0) return m_pInput.get();
    if (n == 1) return m_pOutput.get();
    return nullptr;
}

}  // namespace linuxdvb
