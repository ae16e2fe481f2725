#pragma once
// The capture filter of a Linux DVB frontend (the device in KSCATEGORY_BDA_RECEIVER_COMPONENT).
// Its input "MPEG2 Transport" takes only the card's medium, so only that card's tuner connects;
// its output "Transport Stream" offers media::TransportStreamType() and delivers the adapter's
// full transport stream from a streaming thread (see CLinuxDvbCaptureOutputPin). It answers
// IStreamLossStatistics with the overflows of dvr's buffer.
#include <cstddef>
#include <memory>

#include "drivers/linuxdvb/linux_dvb_capture_output_pin.h"
#include "platform/bda/stream_loss_statistics.h"
#include "platform/media/base_filter.h"
#include "platform/media/crit_sec.h"

class CBdaCaptureInputPin;

namespace linuxdvb {

class CLinuxDvbCard;

inline constexpr CLSID CLSID_LinuxDvbCaptureFilter =
    com::MakeGuid("{4C445642-7A3B-4D2A-9F10-56A1D0C0B011}");

class CLinuxDvbCaptureFilter : public CBaseFilter, public IStreamLossStatistics {
public:
    using StreamOpener = CLinuxDvbCaptureOutputPin::StreamOpener;

    explicit CLinuxDvbCaptureFilter(const std::shared_ptr<CLinuxDvbCard>& card);
    // The filter on a stream that `opener` opens, as a card with `medium` whose dvr buffer is
    // asked for `bufferBytes` has it (benchmarks and tests feed it their own stream device).
    CLinuxDvbCaptureFilter(const GUID& medium, StreamOpener opener, std::size_t bufferBytes);
    ~CLinuxDvbCaptureFilter() override;

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;

    int GetPinCount() override;
    CBasePin* GetPin(int n) override;

    // IStreamLossStatistics: the output pin's overflows and the bytes they lost at least.
    HRESULT GetStreamLoss(std::uint64_t* overruns, std::uint64_t* bytesLost) override;

    CLinuxDvbCaptureOutputPin* OutputPin() const { return m_pOutput.get(); }

private:
    CCritSec m_lock;
    std::unique_ptr<CBdaCaptureInputPin> m_pInput;
    std::unique_ptr<CLinuxDvbCaptureOutputPin> m_pOutput;
};

}  // namespace linuxdvb
