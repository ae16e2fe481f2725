#pragma once
// The health of a live transport stream, as ETSI TR 101 290 measures it (its priority 1 and 2
// indicators), and per PID its share, bit rate, service and stream type, continuity errors and
// scrambling.
//
// Time is the stream's own: a position in the stream (bytes since the start) is turned into time
// by the rate the PCRs give (bytes between two PCRs of the reference PID over the ticks between
// them), so the figures do not depend on how late the packets reach the analyser. Until two PCRs
// a tenth of a second apart have come, nothing that needs time is judged.
//
// Counting: an event indicator (sync byte, continuity, transport error, CRC, PCR repetition,
// discontinuity and accuracy, PTS repetition, a scrambled or wrong table on a PSI PID) counts
// each event; a presence indicator (PAT, PMT, missing PID) counts each time it goes into error,
// and stays in error until what was missing comes again.
//
// CStreamHealth is pure and single-threaded: whoever feeds it owns it. CStreamHealthMonitor puts
// it on the stream tap, fed on the tap's thread and read from any.
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "platform/media/psi_section_parser.h"
#include "services/transport_packet_consumer.h"

enum class HealthIndicator : std::size_t {
    SyncByte,          // 1.1/1.2 a packet that does not begin with 0x47
    Pat,               // 1.3 no PAT for 0.5 s, a table other than the PAT on PID 0, PID 0 scrambled
    Continuity,        // 1.4 a packet lost, out of order, or the same one more than twice
    Pmt,               // 1.5 no section of a PMT the PAT names for 0.5 s, or its PID scrambled
    MissingPid,        // 1.6 a stream a PMT names silent for 5 s
    TransportError,    // 2.1 transport_error_indicator set
    Crc,               // 2.2 a PSI/SI section whose CRC32 is wrong
    PcrRepetition,     // 2.3a two PCRs of a PID more than 40 ms apart
    PcrDiscontinuity,  // 2.3b two PCRs 100 ms apart or going back, not flagged as a discontinuity
    PcrAccuracy,       // 2.4 a PCR more than 500 ns off the stream's byte clock
    PtsRepetition,     // 2.5 two PTSs of a PID more than 700 ms apart
    Count,
};
inline constexpr std::size_t kHealthIndicators = static_cast<std::size_t>(HealthIndicator::Count);

// "Sync", "PAT", "CC", ... as the view and the command line name them.
std::string_view IndicatorName(HealthIndicator indicator);

struct IndicatorReading {
    std::uint64_t count = 0;  // since the start or the last Reset
    bool inError = false;     // a presence indicator that is in error now
};

struct PidHealth {
    std::uint16_t pid = 0;
    std::uint64_t packets = 0;
    double share = 0;  // of all packets, 0..1
    std::uint64_t continuityErrors = 0;
    bool scrambled = false;  // a packet with its scrambling bits set was seen
    bool carriesPcr = false;
    // What the PAT and the PMTs say of it; none for PIDs no table names.
    std::optional<std::uint16_t> service;
    std::optional<std::uint8_t> streamType;
    bool psi = false;  // the PAT, a PMT, or a table of the fixed SI PIDs
};

struct StreamHealth {
    std::array<IndicatorReading, kHealthIndicators> indicators{};
    std::uint64_t packets = 0;
    std::optional<double> bitRate;  // bits per second of the whole stream, by its PCRs
    std::vector<PidHealth> pids;    // in PID order

    const IndicatorReading& operator[](HealthIndicator indicator) const {
        return indicators[static_cast<std::size_t>(indicator)];
    }
};

class CStreamHealth final : private CPsiSectionParser::ISectionHandler {
public:
    static constexpr double kPatPeriodS = 0.5;
    static constexpr double kPmtPeriodS = 0.5;
    static constexpr double kPidSilenceS = 5.0;
    static constexpr double kPcrRepetitionS = 0.040;
    static constexpr double kPcrJumpS = 0.100;
    static constexpr double kPcrAccuracyS = 500e-9;
    static constexpr double kPtsRepetitionS = 0.700;

    CStreamHealth();
    ~CStreamHealth();
    CStreamHealth(const CStreamHealth&) = delete;
    CStreamHealth& operator=(const CStreamHealth&) = delete;

    // Whole 188-byte packets, in the order they came.
    void Consume(std::span<const std::uint8_t> packets);
    StreamHealth Snapshot() const;
    // Counts from zero again; what the stream's tables said is kept.
    void ResetCounts();

private:
    struct Pid;

    void ConsumePacket(const std::uint8_t* packet);
    void CheckContinuity(Pid& state, const std::uint8_t* packet, bool payload, bool discontinuity);
    void CheckPcr(Pid& state, std::uint64_t pcr, bool discontinuity);
    void CheckPts(Pid& state, const std::uint8_t* payload, std::size_t size);
    void CheckPresence();
    void OnSection(std::span<const std::uint8_t> section) override;
    void Count(HealthIndicator indicator);
    // A presence indicator: counted when it goes into error.
    void SetInError(HealthIndicator indicator, bool inError);
    // Bytes of the stream in `seconds`, by the PCRs' rate; none before it is known.
    std::optional<std::uint64_t> BytesIn(double seconds) const;
    Pid& StateOf(std::uint16_t pid);

    std::array<IndicatorReading, kHealthIndicators> m_indicators{};
    std::uint64_t m_nPosition = 0;  // bytes of the stream so far
    std::uint64_t m_nPackets = 0;
    std::map<std::uint16_t, std::unique_ptr<Pid>> m_pids;
    // The rate's reference: the first PCR of the reference PID after the start or a
    // discontinuity, and the latest.
    std::optional<std::uint16_t> m_referencePid;
    std::optional<std::pair<std::uint64_t, std::uint64_t>> m_rateStart;  // (PCR, position)
    std::optional<double> m_bytesPerTick;
    // Where the last PAT came, and each PMT PID the PAT names, with where its last section came.
    std::optional<std::uint64_t> m_lastPat;
    std::map<std::uint16_t, std::optional<std::uint64_t>> m_pmtPids;
    std::uint16_t m_nSectionPid = 0;  // during OnSection
};

class CStreamHealthMonitor final : public ITransportPacketConsumer {
public:
    void OnPackets(std::span<const std::uint8_t> packets) override {
        const std::lock_guard guard(m_lock);
        m_health.Consume(packets);
    }
    StreamHealth Snapshot() const {
        const std::lock_guard guard(m_lock);
        return m_health.Snapshot();
    }
    void ResetCounts() {
        const std::lock_guard guard(m_lock);
        m_health.ResetCounts();
    }

private:
    mutable std::mutex m_lock;
    CStreamHealth m_health;
};
