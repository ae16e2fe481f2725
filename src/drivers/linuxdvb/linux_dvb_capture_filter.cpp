#include "drivers/linuxdvb/linux_dvb_capture_filter.h"

#include "drivers/kit/bda_capture_input_pin.h"
#include "drivers/linuxdvb/linux_dvb_card.h"

namespace linuxdvb {

CLinuxDvbCaptureFilter::CLinuxDvbCaptureFilter(const std::shared_ptr<CLinuxDvbCard>& card)
    // The opener keeps the card, and with it the medium, alive as long as the filter.
    : CLinuxDvbCaptureFilter(
          card->Medium(),
          [card](std::unique_ptr<IDvbStreamDevice>& stream) { return card->OpenStream(stream); },
          CLinuxDvbCard::kStreamBufferBytes) {}

CLinuxDvbCaptureFilter::CLinuxDvbCaptureFilter(const GUID& medium, StreamOpener opener,
                                               std::size_t bufferBytes)
    : CBaseFilter(L"Linux DVB capture", nullptr, &m_lock, CLSID_LinuxDvbCaptureFilter) {
    m_pInput =
        std::make_unique<CBdaCaptureInputPin>(L"Linux DVB capture input", this, &m_lock, medium);
    m_pOutput =
        std::make_unique<CLinuxDvbCaptureOutputPin>(this, &m_lock, std::move(opener), bufferBytes);
}

CLinuxDvbCaptureFilter::~CLinuxDvbCaptureFilter() = default;

HRESULT CLinuxDvbCaptureFilter::NonDelegatingQueryInterface(REFIID iid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (iid == IStreamLossStatistics::kIid)
        return GetInterface(static_cast<IStreamLossStatistics*>(this), ppv);
    return CBaseFilter::NonDelegatingQueryInterface(iid, ppv);
}

int CLinuxDvbCaptureFilter::GetPinCount() {
    return 2;
}

CBasePin* CLinuxDvbCaptureFilter::GetPin(int n) {
    if (n == 0) return m_pInput.get();
    if (n == 1) return m_pOutput.get();
    return nullptr;
}

HRESULT CLinuxDvbCaptureFilter::GetStreamLoss(std::uint64_t* overruns, std::uint64_t* bytesLost) {
    if (overruns == nullptr || bytesLost == nullptr) return E_POINTER;
    *overruns = m_pOutput->Overflows();
    *bytesLost = m_pOutput->BytesLost();
    return S_OK;
}

}  // namespace linuxdvb
