#include "services/stream_health.h"

#include <cmath>

#include "services/psi_tables.h"

namespace {

constexpr std::size_t kPacketSize = 188;
constexpr std::uint16_t kNullPid = 0x1FFF;
constexpr double kTicksPerSecond = 27'000'000.0;
// PCRs count modulo 2^33 x 300 (about 26.5 hours).
constexpr std::uint64_t kPcrModulus = (std::uint64_t{1} << 33) * 300;
// The fixed PIDs of PSI/SI tables with a CRC: CAT, NIT, SDT/BAT, EIT, TDT/TOT.
constexpr std::uint16_t kSiPids[] = {0x0001, 0x0010, 0x0011, 0x0012, 0x0014};
constexpr std::uint8_t kTotTableId = 0x73;

std::uint64_t PcrDifference(std::uint64_t later, std::uint64_t earlier) {
    return (later + kPcrModulus - earlier) % kPcrModulus;
}

}  // namespace

struct CStreamHealth::Pid {
    std::uint16_t pid = 0;
    std::uint64_t packets = 0;
    std::uint64_t continuityErrors = 0;
    int lastCc = -1;
    int repeats = 0;  // times the last packet came again
    bool scrambled = false;
    bool carriesPcr = false;
    std::optional<std::pair<std::uint64_t, std::uint64_t>> lastPcr;  // (PCR, position)
    // The first PCR since the start or a discontinuity: the line the others should lie on.
    std::optional<std::pair<std::uint64_t, std::uint64_t>> firstPcr;
    std::optional<std::uint64_t> lastPts;  // position
    std::uint64_t lastSeen = 0;            // position
    std::optional<std::uint16_t> service;
    std::optional<std::uint8_t> streamType;
    bool elementary = false;  // a PMT names it
    bool missing = false;
    std::unique_ptr<CPsiSectionParser> sections;  // for the PIDs of tables
};

std::string_view IndicatorName(HealthIndicator indicator) {
    switch (indicator) {
        case HealthIndicator::SyncByte:
            return "Sync";
        case HealthIndicator::Pat:
            return "PAT";
        case HealthIndicator::Continuity:
            return "CC";
        case HealthIndicator::Pmt:
            return "PMT";
        case HealthIndicator::MissingPid:
            return "Missing PID";
        case HealthIndicator::TransportError:
            return "Transport error";
        case HealthIndicator::Crc:
            return "CRC";
        case HealthIndicator::PcrRepetition:
            return "PCR repetition";
        case HealthIndicator::PcrDiscontinuity:
            return "PCR discontinuity";
        case HealthIndicator::PcrAccuracy:
            return "PCR accuracy";
        case HealthIndicator::PtsRepetition:
            return "PTS repetition";
        case HealthIndicator::Count:
            break;
    }
    return "";
}

CStreamHealth::CStreamHealth() {
    StateOf(services::kPatPid).sections = std::make_unique<CPsiSectionParser>();
    for (const std::uint16_t pid : kSiPids)
        StateOf(pid).sections = std::make_unique<CPsiSectionParser>();
}

CStreamHealth::~CStreamHealth() = default;

CStreamHealth::Pid& CStreamHealth::StateOf(std::uint16_t pid) {
    std::unique_ptr<Pid>& state = m_pids[pid];
    if (!state) {
        state = std::make_unique<Pid>();
        state->pid = pid;
        state->lastSeen = m_nPosition;
    }
    return *state;
}

void CStreamHealth::Count(HealthIndicator indicator) {
    ++m_indicators[static_cast<std::size_t>(indicator)].count;
}

void CStreamHealth::SetInError(HealthIndicator indicator, bool inError) {
    IndicatorReading& reading = m_indicators[static_cast<std::size_t>(indicator)];
    if (inError && !reading.inError) ++reading.count;
    reading.inError = inError;
}

std::optional<std::uint64_t> CStreamHealth::BytesIn(double seconds) const {
    if (!m_bytesPerTick) return std::nullopt;
    return static_cast<std::uint64_t>(std::llround(seconds * kTicksPerSecond * *m_bytesPerTick));
}

void CStreamHealth::Consume(std::span<const std::uint8_t> packets) {
    for (std::size_t at = 0; at + kPacketSize <= packets.size(); at += kPacketSize)
        ConsumePacket(packets.data() + at);
    CheckPresence();
}

void CStreamHealth::ConsumePacket(const std::uint8_t* packet) {
    ++m_nPackets;
    const std::uint64_t position = m_nPosition;
    m_nPosition += kPacketSize;
    // A packet without its sync byte has no header to trust.
    if (packet[0] != 0x47) {
        Count(HealthIndicator::SyncByte);
        return;
    }
    const auto pid = static_cast<std::uint16_t>(((packet[1] & 0x1F) << 8) | packet[2]);
    Pid& state = StateOf(pid);
    ++state.packets;
    state.lastSeen = position;
    // A packet the demodulator could not correct keeps its counter in step, nothing more of it
    // is believed.
    const bool corrupt = (packet[1] & 0x80) != 0;
    if (corrupt) Count(HealthIndicator::TransportError);
    const bool scrambled = (packet[3] & 0xC0) != 0;
    const bool adaptation = (packet[3] & 0x20) != 0;
    const bool payload = (packet[3] & 0x10) != 0;
    if (scrambled && !corrupt) {
        state.scrambled = true;
        if (pid == services::kPatPid) Count(HealthIndicator::Pat);
        if (m_pmtPids.count(pid) != 0) Count(HealthIndicator::Pmt);
    }
    std::size_t payloadStart = 4;
    bool discontinuity = false;
    std::optional<std::uint64_t> pcr;
    if (adaptation) {
        const std::size_t length = packet[4];
        payloadStart = 5 + length;
        if (length > 0) {
            discontinuity = (packet[5] & 0x80) != 0;
            if ((packet[5] & 0x10) != 0 && length >= 7) {
                const std::uint64_t base = (std::uint64_t{packet[6]} << 25) |
                                           (std::uint64_t{packet[7]} << 17) |
                                           (std::uint64_t{packet[8]} << 9) |
                                           (std::uint64_t{packet[9]} << 1) | (packet[10] >> 7);
                const std::uint64_t extension = ((packet[10] & 0x01u) << 8) | packet[11];
                pcr = base * 300 + extension;
            }
        }
    }
    if (pid != kNullPid) CheckContinuity(state, packet, payload, discontinuity);
    if (corrupt) return;
    if (pcr) CheckPcr(state, *pcr, discontinuity);
    if (!payload || payloadStart >= kPacketSize || scrambled) return;
    if (state.sections) {
        m_nSectionPid = pid;
        state.sections->PushPacket(packet, this);
    } else if ((packet[1] & 0x40) != 0) {
        CheckPts(state, packet + payloadStart, kPacketSize - payloadStart);
    }
}

void CStreamHealth::CheckContinuity(Pid& state, const std::uint8_t* packet, bool payload,
                                    bool discontinuity) {
    // The counter steps only with a payload; an adaptation field alone repeats it.
    if (!payload) return;
    const int cc = packet[3] & 0x0F;
    const int last = state.lastCc;
    state.lastCc = cc;
    if (last < 0 || discontinuity) {
        state.repeats = 0;
        return;
    }
    bool error = false;
    if (cc == last) {
        // A packet may come twice, not three times.
        error = ++state.repeats > 1;
    } else {
        error = cc != ((last + 1) & 0x0F);
        state.repeats = 0;
    }
    if (error) {
        ++state.continuityErrors;
        Count(HealthIndicator::Continuity);
    }
}

void CStreamHealth::CheckPcr(Pid& state, std::uint64_t pcr, bool discontinuity) {
    state.carriesPcr = true;
    if (!m_referencePid) m_referencePid = state.pid;
    const bool reference = state.pid == *m_referencePid;
    const std::uint64_t position = m_nPosition - kPacketSize;
    bool restart = false;
    bool offClock = false;
    if (state.lastPcr) {
        const auto [lastPcr, lastPosition] = *state.lastPcr;
        if (const auto limit = BytesIn(kPcrRepetitionS); limit && position - lastPosition > *limit)
            Count(HealthIndicator::PcrRepetition);
        const std::uint64_t ticks = PcrDifference(pcr, lastPcr);
        if (static_cast<double>(ticks) > kPcrJumpS * kTicksPerSecond) {
            // A jump, or a PCR going back (a huge difference modulo the PCR's range).
            if (!discontinuity) Count(HealthIndicator::PcrDiscontinuity);
            restart = true;
        } else if (m_bytesPerTick && state.firstPcr) {
            // Against the line from the PID's first PCR, not the last one: one PCR off the
            // clock is one error, not two.
            const auto [firstPcr, firstPosition] = *state.firstPcr;
            const double expected = static_cast<double>(position - firstPosition) / *m_bytesPerTick;
            const auto actual = static_cast<double>(PcrDifference(pcr, firstPcr));
            offClock = std::fabs(actual - expected) > kPcrAccuracyS * kTicksPerSecond;
            if (offClock) Count(HealthIndicator::PcrAccuracy);
        }
    }
    state.lastPcr = std::make_pair(pcr, position);
    if (!state.firstPcr || restart) state.firstPcr = state.lastPcr;
    // A PCR off the clock says nothing of the stream's rate.
    if (!reference || offClock) return;
    if (!m_rateStart || restart) {
        m_rateStart = std::make_pair(pcr, position);
        return;
    }
    const std::uint64_t ticks = PcrDifference(pcr, m_rateStart->first);
    if (static_cast<double>(ticks) >= 0.1 * kTicksPerSecond)
        m_bytesPerTick =
            static_cast<double>(position - m_rateStart->second) / static_cast<double>(ticks);
}

void CStreamHealth::CheckPts(Pid& state, const std::uint8_t* payload, std::size_t size) {
    // A PES header with a PTS: 00 00 01, stream id, length, flags, PTS_DTS_flags 1x.
    if (size < 14 || payload[0] != 0 || payload[1] != 0 || payload[2] != 1) return;
    if ((payload[7] & 0x80) == 0) return;
    const std::uint64_t position = m_nPosition - kPacketSize;
    if (const auto limit = BytesIn(kPtsRepetitionS);
        state.lastPts && limit && position - *state.lastPts > *limit)
        Count(HealthIndicator::PtsRepetition);
    state.lastPts = position;
}

void CStreamHealth::OnSection(std::span<const std::uint8_t> section) {
    if (section.size() < 3) return;
    const std::uint8_t tableId = section[0];
    const bool longForm = (section[1] & 0x80) != 0;
    if ((longForm || tableId == kTotTableId) && !CPsiSectionParser::CheckCrc(section)) {
        Count(HealthIndicator::Crc);
        return;
    }
    const std::uint16_t pid = m_nSectionPid;
    if (pid == services::kPatPid) {
        if (tableId != services::kPatTableId) {
            Count(HealthIndicator::Pat);
            return;
        }
        const auto pat = CPsiSectionParser::DecodePat(section);
        if (!pat) return;
        m_lastPat = m_nPosition;
        for (const PatProgram& program : pat->programs) {
            if (program.programNumber == 0) continue;
            // A PMT the PAT names for the first time has its period from now.
            if (m_pmtPids.emplace(program.pid, m_nPosition).second) {
                Pid& pmt = StateOf(program.pid);
                pmt.service = program.programNumber;
                if (!pmt.sections) pmt.sections = std::make_unique<CPsiSectionParser>();
            }
        }
        return;
    }
    const auto pmtPid = m_pmtPids.find(pid);
    if (pmtPid == m_pmtPids.end() || tableId != services::kPmtTableId) return;
    const auto pmt = services::DecodePmt(section);
    if (!pmt) return;
    pmtPid->second = m_nPosition;
    for (const PmtStream& stream : pmt->streams) {
        Pid& elementary = StateOf(stream.pid);
        if (!elementary.elementary) elementary.lastSeen = m_nPosition;
        elementary.elementary = true;
        elementary.service = pmt->programNumber;
        elementary.streamType = stream.streamType;
    }
    if (pmt->pcrPid != kNullPid && !StateOf(pmt->pcrPid).service)
        StateOf(pmt->pcrPid).service = pmt->programNumber;
}

void CStreamHealth::CheckPresence() {
    const auto patLimit = BytesIn(kPatPeriodS);
    if (!patLimit) return;
    const std::uint64_t now = m_nPosition;
    SetInError(HealthIndicator::Pat, now - m_lastPat.value_or(0) > *patLimit);
    const std::uint64_t pmtLimit = *BytesIn(kPmtPeriodS);
    bool pmtMissing = false;
    for (const auto& [pid, last] : m_pmtPids) pmtMissing |= now - last.value_or(0) > pmtLimit;
    SetInError(HealthIndicator::Pmt, pmtMissing);
    // Each stream that falls silent counts once; the light stays on while any is silent.
    const std::uint64_t silence = *BytesIn(kPidSilenceS);
    bool anyMissing = false;
    for (auto& [pid, state] : m_pids) {
        if (!state->elementary) continue;
        const bool missing = now - state->lastSeen > silence;
        if (missing && !state->missing) Count(HealthIndicator::MissingPid);
        state->missing = missing;
        anyMissing |= missing;
    }
    m_indicators[static_cast<std::size_t>(HealthIndicator::MissingPid)].inError = anyMissing;
}

StreamHealth CStreamHealth::Snapshot() const {
    StreamHealth health;
    health.indicators = m_indicators;
    health.packets = m_nPackets;
    if (m_bytesPerTick) health.bitRate = *m_bytesPerTick * 8 * kTicksPerSecond;
    for (const auto& [pid, state] : m_pids) {
        if (state->packets == 0 && !state->elementary) continue;
        PidHealth entry;
        entry.pid = pid;
        entry.packets = state->packets;
        entry.share = m_nPackets == 0
                          ? 0.0
                          : static_cast<double>(state->packets) / static_cast<double>(m_nPackets);
        entry.continuityErrors = state->continuityErrors;
        entry.scrambled = state->scrambled;
        entry.carriesPcr = state->carriesPcr;
        entry.service = state->service;
        entry.streamType = state->streamType;
        entry.psi = state->sections != nullptr;
        health.pids.push_back(entry);
    }
    return health;
}

void CStreamHealth::ResetCounts() {
    for (IndicatorReading& reading : m_indicators) reading.count = 0;
    m_nPackets = 0;
    for (auto& [pid, state] : m_pids) {
        state->packets = 0;
        state->continuityErrors = 0;
    }
}
