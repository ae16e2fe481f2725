#pragma once
// The capture filter of a Linux DVB frontend (the device in KSCATEGORY_BDA_RECEIVER_COMPONENT).
// Its input "MPEG2 Transport" takes only the card's medium, so only that card's tuner connects;
// its output "Transport Stream" offers media::TransportStreamType() and delivers the adapter's
// full transport stream from a streaming thread (see CLinuxDvbCaptureOutputPin).
#include <memory>

#include "platform/media/base_filter.h"
#include "platform/media/crit_sec.h"

class CBdaCaptureInputPin;

namespace linuxdvb {

class CLinuxDvbCard;
class CLinuxDvbCaptureOutputPin;

inline constexpr CLSID CLSID_LinuxDvbCaptureFilter =
    com::MakeGuid("{4C445642-7A3B-4D2A-9F10-56A1D0C0B011}");

class CLinuxDvbCaptureFilter : public CBaseFilter {
public:
    explicit CLinuxDvbCaptureFilter(std::shared_ptr<CLinuxDvbCard> card);
    ~CLinuxDvbCaptureFilter() override;

    int GetPinCount() override;
    CBasePin* GetPin(int n) override;

    CLinuxDvbCaptureOutputPin* OutputPin() const { return m_pOutput.get(); }

private:
    CCritSec m_lock;
    const std::shared_ptr<CLinuxDvbCard> m_pCard;
    std::unique_ptr<CBdaCaptureInputPin> m_pInput;
    std::unique_ptr<CLinuxDvbCaptureOutputPin> m_pOutput;
};

}  // namespace linuxdvb
