#include "platform/media/ts_packet_parser.h"

#include <algorithm>
#include <cstring>

namespace {
// Last continuity counter per PID: low nibble the counter, kDuplicateSeen once its packet came
// twice, kNoCc before the PID's first packet.
constexpr std::uint8_t kNoCc = 0xFF;
constexpr std::uint8_t kDuplicateSeen = 0x10;
}  // namespace

CTsPacketParser::CTsPacketParser() : m_packets(kPidCount, 0), m_lastCc(kPidCount, kNoCc) {}

void CTsPacketParser::Reset() {
    std::fill(m_packets.begin(), m_packets.end(), 0);
    m_nContinuityErrors = 0;
    m_nSyncLosses = 0;
    m_nSkippedBytes = 0;
    m_nTotalPackets = 0;
    Resync();
}

void CTsPacketParser::Resync() {
    std::fill(m_lastCc.begin(), m_lastCc.end(), kNoCc);
    m_nPartial = 0;
    m_bInSync = false;
}

TransportCounters CTsPacketParser::Counters() const {
    TransportCounters counters;
    for (std::size_t pid = 0; pid < kPidCount; ++pid) {
        if (m_packets[pid] != 0)
            counters.packetsPerPid[static_cast<std::uint16_t>(pid)] = m_packets[pid];
    }
    counters.continuityErrors = m_nContinuityErrors;
    counters.syncLosses = m_nSyncLosses;
    counters.skippedBytes = m_nSkippedBytes;
    return counters;
}

// Out of sync, a sync byte counts only when the byte 188 further on is one too. A candidate too
// close to the end of a piece is carried over (with what follows it) until that byte arrives;
// the carry then never exceeds one packet, and hunting goes on through it and the new piece.
void CTsPacketParser::Feed(std::span<const std::uint8_t> data, IPacketHandler* handler) {
    const std::uint8_t* p = data.data();
    const std::size_t n = data.size();
    std::size_t i = 0;

    if (m_nPartial > 0 && m_bInSync) {
        const std::size_t take = std::min(kPacketSize - m_nPartial, n);
        std::memcpy(m_partial.data() + m_nPartial, p, take);
        m_nPartial += take;
        i = take;
        if (m_nPartial < kPacketSize) return;
        m_nPartial = 0;
        Process(m_partial.data(), handler);
    } else if (m_nPartial > 0) {
        const std::size_t carried = m_nPartial;
        std::size_t j = 0;
        std::size_t ahead = 0;  // index in `data` of the byte that confirms candidate j
        for (; j < carried; ++j) {
            if (m_partial[j] == kSyncByte) {
                ahead = j + kPacketSize - carried;
                if (ahead >= n || p[ahead] == kSyncByte) break;
            }
            ++m_nSkippedBytes;
        }
        if (j == carried) {
            m_nPartial = 0;  // nothing in the carry; hunt on in `data`
        } else if (ahead >= n) {
            // Still undecided: keep the candidate and everything after it.
            std::memmove(m_partial.data(), m_partial.data() + j, carried - j);
            std::memcpy(m_partial.data() + carried - j, p, n);
            m_nPartial = carried - j + n;
            return;
        } else {
            std::memmove(m_partial.data(), m_partial.data() + j, carried - j);
            std::memcpy(m_partial.data() + carried - j, p, ahead);
            m_nPartial = 0;
            Process(m_partial.data(), handler);
            m_bInSync = true;
            i = ahead;
        }
    }

    while (i < n) {
        if (!m_bInSync) {
            while (i < n) {
                if (p[i] == kSyncByte &&
                    (i + kPacketSize >= n || p[i + kPacketSize] == kSyncByte)) {
                    break;
                }
                ++i;
                ++m_nSkippedBytes;
            }
            if (i >= n) break;
            if (i + kPacketSize >= n) {
                // Cannot be confirmed within this piece: carry it over, still out of sync.
                m_nPartial = n - i;
                std::memcpy(m_partial.data(), p + i, m_nPartial);
                break;
            }
        } else if (p[i] != kSyncByte) {
            ++m_nSyncLosses;
            m_bInSync = false;
            continue;
        }
        if (n - i < kPacketSize) {
            m_nPartial = n - i;
            std::memcpy(m_partial.data(), p + i, m_nPartial);
            break;
        }
        Process(p + i, handler);
        m_bInSync = true;
        i += kPacketSize;
    }
}

void CTsPacketParser::Process(const std::uint8_t* packet, IPacketHandler* handler) {
    const std::uint16_t pid = PidOf(packet);
    ++m_packets[pid];
    ++m_nTotalPackets;
    // transport_error_indicator: the header itself may be wrong, so its counter proves nothing.
    if ((packet[1] & 0x80) == 0) CheckContinuity(packet, pid);
    if (handler != nullptr) handler->OnPacket(packet, pid);
}

void CTsPacketParser::CheckContinuity(const std::uint8_t* packet, std::uint16_t pid) {
    if (pid == kNullPid) return;
    const unsigned adaptation = (packet[3] >> 4) & 0x3;  // 01 payload, 10 adaptation, 11 both
    if (adaptation == 0) return;                         // reserved: the packet is discarded
    const std::uint8_t cc = packet[3] & 0x0F;
    const bool hasPayload = (adaptation & 0x1) != 0;
    // discontinuity_indicator in a non-empty adaptation field: the counter may jump.
    const bool discontinuity = (adaptation & 0x2) != 0 && packet[4] > 0 && (packet[5] & 0x80) != 0;
    std::uint8_t& last = m_lastCc[pid];
    if (last == kNoCc || discontinuity) {
        last = cc;
        return;
    }
    if (!hasPayload) return;  // the counter advances only with a payload
    if (cc == (last & 0x0F)) {
        // One duplicate of a packet is allowed; a further copy is an error.
        if ((last & kDuplicateSeen) != 0) {
            ++m_nContinuityErrors;
        } else {
            last |= kDuplicateSeen;
        }
        return;
    }
    if (cc != ((last + 1) & 0x0F)) ++m_nContinuityErrors;
    last = cc;
}
