#pragma once
// The simulated card's capture filter (the device in KSCATEGORY_BDA_RECEIVER_COMPONENT). Its
// input "MPEG2 Transport" takes only the card's own medium, so only that card's tuner connects;
// its output "Transport Stream" offers media::TransportStreamType() and delivers the card's
// stream from a streaming thread of its own (see CSimCaptureOutputPin).
//
// It answers IStreamLossStatistics with zeros, truthfully: the card makes its stream when it is
// delivered, so a downstream that stalls only delays it. After the stall the thread delivers, at
// once, every packet that fell due meanwhile; while the graph runs nothing is skipped.
#include <cstdint>
#include <memory>

#include "drivers/sim/sim_card.h"
#include "platform/bda/stream_loss_statistics.h"
#include "platform/media/base_filter.h"
#include "platform/media/crit_sec.h"

class CBdaCaptureInputPin;
class CSimCaptureOutputPin;

inline constexpr CLSID CLSID_SimCaptureFilter =
    com::MakeGuid("{5E1A0C11-7A3B-4D2A-9F10-56A1D0C0A011}");

class CSimCaptureFilter : public CBaseFilter, public IStreamLossStatistics {
public:
    explicit CSimCaptureFilter(std::shared_ptr<CSimCard> card);
    ~CSimCaptureFilter() override;

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** ppv) override;

    // IStreamLossStatistics: always none.
    HRESULT GetStreamLoss(std::uint64_t* overruns, std::uint64_t* bytesLost) override;

    int GetPinCount() override;
    CBasePin* GetPin(int n) override;

    CSimCard& Card() const { return *m_pCard; }
    CSimCaptureOutputPin* OutputPin() const { return m_pOutput.get(); }

private:
    CCritSec m_lock;
    const std::shared_ptr<CSimCard> m_pCard;
    std::unique_ptr<CBdaCaptureInputPin> m_pInput;
    std::unique_ptr<CSimCaptureOutputPin> m_pOutput;
};
