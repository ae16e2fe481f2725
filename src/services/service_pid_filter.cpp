#include "services/service_pid_filter.h"

#include <algorithm>
#include <array>

#include "services/psi_tables.h"

namespace {
constexpr std::size_t kPacketSize = 188;
constexpr std::uint8_t kSyncByte = 0x47;
constexpr std::uint16_t kNoPcrPid = 0x1FFF;
}  // namespace

CServicePidFilter::CServicePidFilter(std::uint16_t serviceNumber, bool withSdtAndEit)
    : m_nServiceNumber(serviceNumber), m_bWithSdtAndEit(withSdtAndEit) {
    PassBaseline();
}

void CServicePidFilter::Reset() {
    m_patParser.Reset();
    m_pmtParser.Reset();
    m_nPmtPid = -1;
    PassBaseline();
}

void CServicePidFilter::PassBaseline() {
    m_pass.reset();
    m_waiting.clear();
    if (m_bWithSdtAndEit) {
        m_pass.set(services::kSdtPid);
        m_pass.set(services::kEitPid);
    }
    if (m_nPmtPid >= 0) m_pass.set(static_cast<std::size_t>(m_nPmtPid));
}

void CServicePidFilter::Filter(std::span<const std::uint8_t> packets,
                               std::vector<std::uint8_t>& out) {
    m_pOut = &out;
    for (std::size_t at = 0; at + kPacketSize <= packets.size(); at += kPacketSize) {
        const std::uint8_t* packet = packets.data() + at;
        if (packet[0] != kSyncByte) continue;
        const auto pid = static_cast<std::uint16_t>(((packet[1] & 0x1F) << 8) | packet[2]);
        if (pid == services::kPatPid) {
            // The original PAT is replaced: only ours goes out, once a section is complete.
            m_nSectionPid = pid;
            m_patParser.PushPacket(packet, this);
            continue;
        }
        if (pid == m_nPmtPid) {
            m_nSectionPid = pid;
            m_pmtParser.PushPacket(packet, this);
        }
        if (const auto waiting = m_waiting.find(pid); waiting != m_waiting.end()) {
            if (!IsStartPoint(packet, pid)) continue;
            m_waiting.erase(waiting);
            m_pass.set(pid);
        }
        if (m_pass.test(pid)) out.insert(out.end(), packet, packet + kPacketSize);
    }
    m_pOut = nullptr;
}

void CServicePidFilter::OnSection(std::span<const std::uint8_t> section) {
    if (m_nSectionPid == services::kPatPid) {
        OnPatSection(section);
    } else {
        OnPmtSection(section);
    }
}

void CServicePidFilter::OnPatSection(std::span<const std::uint8_t> section) {
    const auto pat = services::DecodeCurrentPat(section);
    if (!pat) return;
    const auto program =
        std::find_if(pat->programs.begin(), pat->programs.end(),
                     [this](const PatProgram& p) { return p.programNumber == m_nServiceNumber; });
    if (program == pat->programs.end()) {
        // Gone from a PAT of one section: the service is off the air, nothing of it passes.
        if (pat->lastSectionNumber == 0 && m_nPmtPid >= 0) {
            m_nPmtPid = -1;
            m_pmtParser.Reset();
            PassBaseline();
        }
        return;
    }
    if (program->pid != m_nPmtPid) {
        m_nPmtPid = program->pid;
        m_pmtParser.Reset();
        PassBaseline();
    }
    WritePat(pat->transportStreamId, pat->version, program->pid);
}

void CServicePidFilter::OnPmtSection(std::span<const std::uint8_t> section) {
    const auto pmt = services::DecodePmt(section);
    if (!pmt || pmt->programNumber != m_nServiceNumber) return;
    // Streams that flow already go on; new ones wait for a start.
    const std::bitset<0x2000> flowing = m_pass;
    PassBaseline();
    bool pcrInStream = false;
    for (const PmtStream& stream : pmt->streams) {
        if (flowing.test(stream.pid)) {
            m_pass.set(stream.pid);
        } else {
            m_waiting[stream.pid] = Waiting{stream.streamType, 0};
        }
        pcrInStream = pcrInStream || stream.pid == pmt->pcrPid;
    }
    if (pmt->pcrPid != kNoPcrPid && !pcrInStream) m_pass.set(pmt->pcrPid);
}

bool CServicePidFilter::IsStartPoint(const std::uint8_t* packet, std::uint16_t pid) {
    if ((packet[1] & 0x40) == 0) return false;  // payload_unit_start_indicator: a PES starts
    Waiting& waiting = m_waiting[pid];
    const std::uint8_t type = waiting.streamType;
    const bool mpeg2Video = type == 0x01 || type == 0x02;
    const bool h264 = type == 0x1B;
    const bool hevc = type == 0x24;
    if (!mpeg2Video && !h264 && !hevc) return true;
    if (++waiting.startsSkipped > kMaxStartsSkipped) return true;
    std::size_t at = 4;
    if ((packet[3] & 0x20) != 0) {  // adaptation field
        const std::size_t length = packet[4];
        if (length > 0 && (packet[5] & 0x40) != 0) return true;  // random_access_indicator
        at += 1 + length;
    }
    // The headers a decoder starts from, by start code: 00 00 01 and the code's byte.
    for (; at + 4 <= kPacketSize; ++at) {
        if (packet[at] != 0 || packet[at + 1] != 0 || packet[at + 2] != 1) continue;
        const std::uint8_t code = packet[at + 3];
        if (mpeg2Video && code == 0xB3) return true;          // sequence_header
        if (h264 && (code & 0x1F) == 7) return true;          // SPS NAL unit
        if (hevc && ((code >> 1) & 0x3F) == 32) return true;  // VPS NAL unit
    }
    return false;
}

void CServicePidFilter::WritePat(std::uint16_t transportStreamId, std::uint8_t version,
                                 std::uint16_t pmtPid) {
    if (m_pOut == nullptr) return;
    const std::vector<std::uint8_t> section = services::BuildPatSection(
        transportStreamId, version, {PatProgram{m_nServiceNumber, pmtPid}});
    std::array<std::uint8_t, kPacketSize> packet{};
    packet.fill(0xFF);  // stuffing after the section
    packet[0] = kSyncByte;
    packet[1] = 0x40;  // payload_unit_start_indicator, PID 0
    packet[2] = 0x00;
    packet[3] = static_cast<std::uint8_t>(0x10 | m_nPatContinuity);  // payload only
    m_nPatContinuity = static_cast<std::uint8_t>((m_nPatContinuity + 1) & 0x0F);
    packet[4] = 0x00;  // pointer_field: the section starts at once
    std::copy(section.begin(), section.end(), packet.begin() + 5);
    m_pOut->insert(m_pOut->end(), packet.begin(), packet.end());
}
