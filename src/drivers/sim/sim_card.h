#pragma once
// One simulated card: the hardware behind its tuner and capture filters. Every filter bound to
// the card's devices reaches the same CSimCard, as filters reach one physical card.
//
// Reception (see docs/simulated-card.md for the formulas):
// - A tune (IBDA_DeviceControl::CommitChanges) takes the frequency, the LNB oscillators and
//   switch frequency the system believes in, polarisation and symbol rate. The card puts out
//   18 V for horizontal (and left-hand circular) and 13 V otherwise, and the 22 kHz tone when the
//   frequency is above the switch frequency; it tunes to IF = |frequency - oscillator of that
//   band|. The LNB of the dish behind the selected switch port turns RF into that IF with its
//   real oscillators (Options: LNB), so RF = real oscillator of the band + IF.
// - The committed-switch message selects the port (A: the motorised dish, B..D: the fixed
//   dishes); its band and polarisation bits are traced only, as a plain switch passes the
//   tuner's voltage and tone to the LNB. Without a message the port stays. Positioner messages
//   reach the motor only while port A is selected.
// - Candidates are the carriers within max(2 MHz, symbol rate / 4) of that RF whose symbol rate
//   is within 0.5 % of the one tuned; of those above the horizon the one with the best C/N
//   counts. The card locks on it 300 ms (simulated) after the conditions came right when its
//   C/N margin is positive, it can demodulate the system (DVB-S2X only on the x-model card) and
//   the scrambling code matches (DVB-S2). A new tune or a port change re-acquires.
//   While the dish moves the conditions are re-evaluated every 10 ms of simulated time.
// - Measurement (KSPROPSETID_SignalMeasure): C/N = the model's C/N of the best candidate plus the
//   reading noise, whenever there is a candidate, locked or not. No level: the model has no
//   received power. While locked only, with m = that C/N - the required C/N and s = 2 decades
//   per dB for DVB-S (Viterbi) or 10 for DVB-S2/S2X (LDPC): bit error rate at the inner code's
//   output 2e-4 * 10^(-s m) (2e-4 is where the outer code just reaches quasi-error-free), at
//   most 0.5, over a window of one second of the useful bit rate (errors rounded down); and
//   packet error rate 1e-7 * 10^(-s m) with the noise-free margin, summed over the 188-byte
//   packets since the lock and reported rounded down as the uncorrected blocks. The stream
//   carries them too: at that rate a packet has its transport error indicator set.
//
// States: Idle (never tuned) -> Tuned (acquiring) -> Locked; Removed is final. Threads: every
// public member takes the card's mutex; the trace is written under it.
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "drivers/kit/bda_signal.h"
#include "drivers/kit/bda_tune_request.h"
#include "drivers/sim/sim_card_catalog.h"
#include "drivers/sim/sim_carrier.h"
#include "drivers/sim/sim_clock.h"
#include "drivers/sim/sim_faults.h"
#include "drivers/sim/sim_motor.h"
#include "drivers/sim/sim_options.h"
#include "drivers/sim/sim_stream_source.h"
#include "platform/com/win_types.h"

class CSimSky;
class CSimPropertyDriver;

// One entry of the MODCOD filter: DVB-S2 MODCOD, short frames, pilots.
struct SimModCodEntry {
    int modCod = 0;
    bool shortFrames = false;
    bool pilots = false;
};

// What the capture filter's streaming thread is to deliver: `output` from `epoch` on, a new
// `generation` at every change (lock, output kind, input stream, MODCOD filter).
struct SimStreamPlan {
    std::uint64_t generation = 0;
    std::uint64_t epoch = 0;
    SimOutput output = SimOutput::None;
    std::shared_ptr<const SimStreamConfig> config;
    std::uint64_t bitRate = 0;
};

// The card's measurement of the tuned signal; what it does not measure is empty.
struct SimSignalMeasure {
    std::optional<double> carrierToNoise;  // dB
    std::optional<std::uint64_t> bitErrors;
    std::optional<std::uint64_t> bitsCounted;
    std::optional<std::uint64_t> uncorrectedBlocks;
};

class CSimCard {
public:
    static constexpr std::uint64_t kAcquisitionTicks = 300 * CSimClock::kTicksPerMs;
    // How long a search for any carrier may take (KSPROPSETID_LockSearch): the acquisition, the
    // same for every carrier, and a second for a reader who looks a few times a second.
    static constexpr std::uint64_t kLockSearchTicks =
        kAcquisitionTicks + 1000 * CSimClock::kTicksPerMs;
    static constexpr std::uint64_t kMotionStepTicks = 10 * CSimClock::kTicksPerMs;
    static constexpr std::uint64_t kRepeatWindowTicks = 100 * CSimClock::kTicksPerMs;
    // The result of every operation on a card that was removed (ERROR_DEVICE_NOT_CONNECTED).
    static constexpr HRESULT kDeviceRemoved = static_cast<HRESULT>(0x8007048F);

    CSimCard(const SimCardProfile& profile, const SimOptions& options,
             std::shared_ptr<const CSimSky> sky, std::shared_ptr<CSimClock> clock,
             std::uint64_t seed);
    ~CSimCard();
    CSimCard(const CSimCard&) = delete;
    CSimCard& operator=(const CSimCard&) = delete;

    const SimCardProfile& Profile() const { return m_profile; }
    const SimOptions& Options() const { return m_options; }
    CSimFaults& Faults() { return m_faults; }
    CSimClock& Clock() { return *m_pClock; }
    std::shared_ptr<CSimClock> SharedClock() const { return m_pClock; }
    // The vendor property handler of this card (both surfaces).
    CSimPropertyDriver& Driver() { return *m_pDriver; }
    // Writes a trace line at the current simulated time.
    void Trace(const std::string& event);

    // The tuner.
    HRESULT Tune(const BdaTuneRequest& request);
    HRESULT ReadSignal(BdaSignal* signal);

    // What the driver was told (decoded by CSimPropertyDriver).
    void SendDiseqc(std::span<const std::uint8_t> message);
    // Whether the last DiSEqC message was a positioner command that reached the motor (a
    // repeat the motor did not act on again counts): the card knows its wiring, a real one
    // cannot tell.
    bool LastDiseqcReachedMotor() const;
    void SetGenericOutput(bool generic);
    bool GenericOutput() const;
    void SetInputStreamId(int isi);  // -1: no selection
    void SetPlsGold(std::uint32_t gold);
    void SetModCodFilter(std::vector<SimModCodEntry> entries);  // empty: everything passes
    // The carrier report's eighteen fields (all 0 while not locked).
    std::array<std::int32_t, 18> MediaInfo();
    SimSignalMeasure SignalMeasure();

    // The capture filter.
    SimStreamPlan StreamPlan();
    // The blocks the model loses, in the stream: sets the transport error indicator of `count`
    // whole packets about to be delivered, at the packet error rate of the lock's margin now.
    void MarkUncorrectable(std::uint8_t* packets, std::size_t count);

    // Device removal: everything fails with kDeviceRemoved from now on; streaming stops.
    void Remove();
    bool IsRemoved() const;

    // For tests and diagnostics.
    double MotorAngle();
    const CSimMotor& Motor() const { return m_motor; }
    int Port() const;
    bool IsLocked();
    std::optional<SimCarrier> LockedCarrier();
    std::uint32_t PlsGold() const;
    int InputStreamId() const;
    std::vector<SimModCodEntry> ModCodFilter() const;

private:
    struct Reception {
        std::optional<std::size_t> best;  // index into the sky's carriers
        double carrierToNoise = -99;      // dB, of the best candidate
        double margin = -99;
        bool lockable = false;
    };

    void OnClock(std::uint64_t now);
    void TraceAt(std::uint64_t ticks, const std::string& event);
    void Update(std::uint64_t now);
    Reception Evaluate(std::uint64_t at) const;
    void Apply(const Reception& reception, std::uint64_t at);
    void Reacquire(std::uint64_t at, const char* why);
    void NewPlan(std::uint64_t at);
    bool ModCodPasses(const SimCarrier& carrier) const;
    int DeliveredInputStream(const SimCarrier& carrier) const;
    double NextNoise();

    const SimCardProfile m_profile;
    const SimOptions m_options;
    const std::shared_ptr<const CSimSky> m_pSky;
    const std::shared_ptr<CSimClock> m_pClock;
    const std::uint64_t m_nSeed;
    CSimFaults m_faults;
    std::unique_ptr<CSimPropertyDriver> m_pDriver;
    CSimClock::ListenerId m_nListener = 0;

    mutable std::mutex m_lock;
    bool m_bRemoved = false;
    // Tuner state of the last tune.
    bool m_bTuned = false;
    std::uint32_t m_nIfKHz = 0;
    bool m_bHighBand = false;
    bool m_b18Volt = false;
    std::uint64_t m_nRfKHz = 0;
    std::vector<std::size_t> m_candidates;
    // Switch, motor, driver settings.
    int m_nPort = 0;
    CSimMotor m_motor;
    std::vector<std::uint8_t> m_lastDiseqc;
    bool m_bMotorReached = false;
    std::uint64_t m_nLastDiseqcTime = 0;
    bool m_bGenericOutput = false;
    int m_nInputStreamId = -1;
    std::uint32_t m_nPlsGold = 0;
    std::vector<SimModCodEntry> m_modCods;
    // Lock tracking.
    std::uint64_t m_nEvaluated = 0;
    Reception m_reception;
    std::optional<std::size_t> m_acquiring;
    std::uint64_t m_nOkSince = 0;
    bool m_bLocked = false;
    std::size_t m_nLocked = 0;
    std::size_t m_nReportedStream = 0;  // round robin of the reported ISI without a selection
    SimStreamPlan m_plan;
    // Uncorrected blocks of the lock that began at m_nUncorrectedLock, summed up to
    // m_nUncorrectedTo.
    std::uint64_t m_nUncorrectedLock = 0;
    std::uint64_t m_nUncorrectedTo = 0;
    double m_fUncorrected = 0;
    // The same rate's errors in the stream of the lock that began at m_nStreamErrorsLock: the
    // fraction of a packet owed.
    std::uint64_t m_nStreamErrorsLock = 0;
    double m_fStreamErrorsOwed = 0;
    std::mt19937_64 m_random;
};
