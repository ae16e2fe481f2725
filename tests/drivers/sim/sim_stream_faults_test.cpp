// Faults injected into the simulated card's stream, on demand, seen by the stream's health
// analyser as a receiver sees them: each lights its own indicator and counts exactly what was
// injected, and a clean stream counts nothing.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "drivers/sim/sim_test_rig.h"
#include "services/stream_health.h"

namespace {

struct StreamPids {
    std::uint16_t video = 0;
    std::uint16_t audio = 0;
    std::uint16_t pcr = 0;
};

StreamPids PidsOf(const StreamHealth& health) {
    StreamPids pids;
    for (const PidHealth& pid : health.pids) {
        if (pid.streamType == 0x02 && pids.video == 0) pids.video = pid.pid;
        if ((pid.streamType == 0x03 || pid.streamType == 0x04) && pids.audio == 0)
            pids.audio = pid.pid;
        if (pid.carriesPcr && pids.pcr == 0) pids.pcr = pid.pid;
    }
    return pids;
}

TEST(SimStreamFaults, EachInjectedFaultLightsItsIndicatorExactlyAsOftenAsInjected) {
    struct FaultCase {
        const char* name;
        HealthIndicator indicator;  // Count: none
        std::uint64_t count;
        std::uint64_t milliseconds;  // of stream after the injection
        std::function<void(CSimFaults&, const StreamPids&)> inject;
    };
    const std::vector<FaultCase> cases{
        {"clean for a minute", HealthIndicator::Count, 0, 60000,
         [](CSimFaults&, const StreamPids&) {}},
        {"three packets lost", HealthIndicator::Continuity, 3, 1000,
         [](CSimFaults& faults, const StreamPids& pids) { faults.LosePackets(pids.video, 3); }},
        {"a stream stops", HealthIndicator::MissingPid, 1, 6000,
         [](CSimFaults& faults, const StreamPids& pids) { faults.StopPid(pids.audio); }},
        {"the PCR jumps half a second", HealthIndicator::PcrDiscontinuity, 1, 1000,
         [](CSimFaults& faults, const StreamPids& pids) { faults.JumpPcr(pids.pcr, 500); }},
        {"four uncorrectable packets", HealthIndicator::TransportError, 4, 1000,
         [](CSimFaults& faults, const StreamPids&) { faults.CorruptPackets(4); }},
    };
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(c.name);
        CSimTestRig rig(0);
        const SimTune tune{11362, 'H', 22000};
        ASSERT_EQ(rig.SendCommittedSwitch('B', tune), S_OK);
        ASSERT_EQ(rig.Tune(tune), S_OK);
        ASSERT_EQ(rig.Run(), S_OK);
        CStreamHealth health;
        rig.Clock().AdvanceMs(1500);
        health.Consume(rig.TakeBytes());
        const StreamPids pids = PidsOf(health.Snapshot());
        ASSERT_NE(pids.video * pids.audio * pids.pcr, 0);
        c.inject(rig.Card().Faults(), pids);
        for (std::uint64_t ms = 0; ms < c.milliseconds; ms += 500) {
            rig.Clock().AdvanceMs(500);
            health.Consume(rig.TakeBytes());
        }
        const StreamHealth after = health.Snapshot();
        for (std::size_t i = 0; i < kHealthIndicators; ++i) {
            const auto indicator = static_cast<HealthIndicator>(i);
            EXPECT_EQ(after[indicator].count, indicator == c.indicator ? c.count : 0u)
                << IndicatorName(indicator);
        }
    }
}

}  // namespace
