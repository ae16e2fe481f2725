#include "drivers/sim/sim_capture_output_pin.h"

#include <algorithm>
#include <stdexcept>

#include "drivers/sim/sim_stream_source.h"
#include "drivers/sim/ts_generator.h"

namespace {

// How often a real-time thread looks at the card again when no sample is due sooner: a lock or a
// new tune shows within this time.
constexpr std::uint64_t kPollTicks = 20 * CSimClock::kTicksPerMs;

}  // namespace

CSimCaptureOutputPin::CSimCaptureOutputPin(CBaseFilter* filter, CCritSec* lock,
                                           std::shared_ptr<CSimCard> card)
    : CBdaCaptureOutputPin(L"simulated capture output", filter, lock), m_pCard(std::move(card)) {}

CSimCaptureOutputPin::~CSimCaptureOutputPin() {
    // A filter destroyed while active (never stopped) still ends its thread.
    Inactive();
}

HRESULT CSimCaptureOutputPin::OnActive() {
    m_nConsumer = m_pCard->Clock().RegisterConsumer();
    m_nActiveSince = m_pCard->Clock().Now();
    return S_OK;
}

void CSimCaptureOutputPin::Wake() {
    m_pCard->Clock().Wake();
}

void CSimCaptureOutputPin::OnInactive() {
    m_pCard->Clock().UnregisterConsumer(m_nConsumer);
}

void CSimCaptureOutputPin::OnThreadExit() {
    m_pCard->Clock().Acknowledge(m_nConsumer, ~std::uint64_t{0});
}

void CSimCaptureOutputPin::StreamLoop() {
    CSimClock& clock = m_pCard->Clock();
    std::uint64_t generation = ~std::uint64_t{0};
    std::unique_ptr<CSimStreamSource> source;
    std::uint64_t delivered = 0;  // packets of the current plan delivered or passed by
    // A card delivers nothing while its graph does not run: the stream due until then passes by.
    // The pin became active at m_nActiveSince; the state is looked at again on every turn.
    std::uint64_t idleUntil = m_nActiveSince;
    while (!StopRequested()) {
        const std::uint64_t token = clock.WakeToken();
        const std::uint64_t now = clock.Now();
        const SimStreamPlan plan = m_pCard->StreamPlan();
        if (plan.generation != generation) {
            generation = plan.generation;
            delivered = 0;
            source.reset();
        }
        const bool running = DeliversNow();
        if (!running) idleUntil = now;
        const bool streams = plan.output != SimOutput::None && plan.config;
        std::uint64_t deadline = now + kPollTicks;
        if (streams && idleUntil > plan.epoch) {
            const std::uint64_t passed =
                CTsGenerator::PacketsBefore(plan.bitRate, idleUntil - plan.epoch);
            if (passed > delivered) {
                delivered = passed;
                source.reset();  // made again where the stream is joined, once it is needed
            }
        }
        if (streams && now < plan.epoch) {
            deadline = std::min(deadline, plan.epoch);
        } else if (streams) {
            const std::uint64_t due = CTsGenerator::PacketsBefore(plan.bitRate, now - plan.epoch);
            while (!StopRequested() && running && due - delivered >= kSamplePackets) {
                if (!source) source = MakeSource(plan, delivered);
                if (!source) break;
                ComPtr<IMediaSample> sample = GetSample();
                if (!sample) break;
                BYTE* buffer = nullptr;
                sample->GetPointer(&buffer);
                source->Fill(buffer, kSamplePackets);
                if (plan.output == SimOutput::Transport) {
                    m_pCard->MarkUncorrectable(buffer, kSamplePackets);
                    m_pCard->Faults().ApplyToStream(buffer, kSamplePackets);
                }
                sample->SetActualDataLength(kSampleBytes);
                DeliverSample(sample.Get());
                delivered += kSamplePackets;
            }
            // The next sample is complete once its last packet has started.
            const std::uint64_t last = delivered + kSamplePackets - 1;
            deadline =
                std::min(deadline, plan.epoch + CTsGenerator::PacketTime(plan.bitRate, last) + 1);
        }
        clock.Acknowledge(m_nConsumer, now);
        clock.WaitAfter(now, deadline, token);
    }
}

std::unique_ptr<CSimStreamSource> CSimCaptureOutputPin::MakeSource(const SimStreamPlan& plan,
                                                                   std::uint64_t firstPacket) {
    try {
        return std::make_unique<CSimStreamSource>(plan.output, *plan.config, firstPacket);
    } catch (const std::invalid_argument&) {
        return nullptr;  // a carrier the generator cannot carry delivers nothing
    }
}
