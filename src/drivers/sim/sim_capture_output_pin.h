#pragma once
// The simulated capture filter's output "Transport Stream" and what its streaming thread does
// (the thread itself, its start in Active and join in Stop: CSourceStreamPin).
//
// While the filter runs it delivers, in samples of 348 packets (65,424 bytes) from a pool of
// eight allocated once, every packet of the card's current stream plan that is due by the card's
// clock: packet k of a plan is due once the clock has passed epoch + k * 188 * 8 / bit rate.
// Only whole samples are delivered; a new plan (lock, input stream, MODCOD filter, output type)
// starts a new stream from its epoch. As on a real card, what is due while the filter does not
// run (stopped, paused, or before this activation) is never delivered: after Run the stream
// goes on from the packet due then, joined there (see CTsGenerator). With the clock in manual mode
// the thread acknowledges each time it has caught up, so CSimClock::Advance returns after the due
// samples were delivered.
#include <cstdint>
#include <memory>

#include "drivers/kit/bda_capture_output_pin.h"
#include "drivers/sim/sim_card.h"
#include "drivers/sim/sim_stream_source.h"

class CSimCaptureOutputPin : public CBdaCaptureOutputPin {
public:
    CSimCaptureOutputPin(CBaseFilter* filter, CCritSec* lock, std::shared_ptr<CSimCard> card);
    ~CSimCaptureOutputPin() override;

private:
    // Registers the thread with the clock and notes when this activation began.
    HRESULT OnActive() override;
    void Wake() override;
    void OnInactive() override;
    void StreamLoop() override;
    // Tells an Advance that waits for this thread that it will not catch up any more.
    void OnThreadExit() override;
    // Null when the plan's configuration cannot be generated.
    static std::unique_ptr<CSimStreamSource> MakeSource(const SimStreamPlan& plan,
                                                        std::uint64_t firstPacket);

    const std::shared_ptr<CSimCard> m_pCard;
    // Both set in OnActive, before the thread starts.
    std::uint64_t m_nConsumer = 0;
    std::uint64_t m_nActiveSince = 0;  // card time of the last Active
};
