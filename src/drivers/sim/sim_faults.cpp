#include "drivers/sim/sim_faults.h"

#include <algorithm>

namespace {

constexpr std::size_t kPacketSize = 188;
constexpr std::uint16_t kNullPid = 0x1FFF;
constexpr std::uint64_t kPcrModulus = (std::uint64_t{1} << 33) * 300;

void MakeNull(std::uint8_t* packet) {
    std::fill(packet, packet + kPacketSize, std::uint8_t{0xFF});
    packet[0] = 0x47;
    packet[1] = 0x1F;
    packet[2] = 0xFF;
    packet[3] = 0x10;
}

void AddToPcr(std::uint8_t* packet, std::uint64_t ticks) {
    const std::uint64_t base = (std::uint64_t{packet[6]} << 25) | (std::uint64_t{packet[7]} << 17) |
                               (std::uint64_t{packet[8]} << 9) | (std::uint64_t{packet[9]} << 1) |
                               (packet[10] >> 7);
    const std::uint64_t pcr =
        (base * 300 + (((packet[10] & 0x01u) << 8) | packet[11]) + ticks) % kPcrModulus;
    const std::uint64_t newBase = pcr / 300;
    const std::uint64_t extension = pcr % 300;
    packet[6] = static_cast<std::uint8_t>(newBase >> 25);
    packet[7] = static_cast<std::uint8_t>(newBase >> 17);
    packet[8] = static_cast<std::uint8_t>(newBase >> 9);
    packet[9] = static_cast<std::uint8_t>(newBase >> 1);
    packet[10] = static_cast<std::uint8_t>(((newBase & 1) << 7) | 0x7E | (extension >> 8));
    packet[11] = static_cast<std::uint8_t>(extension);
}

}  // namespace

void CSimFaults::MakeUnsupported(const GUID& set, DWORD id) {
    std::lock_guard guard(m_lock);
    m_unsupported.emplace(set, id);
}

void CSimFaults::SetResult(const GUID& set, DWORD id, Operation operation, HRESULT result) {
    std::lock_guard guard(m_lock);
    m_results[{set, id, operation}] = result;
}

void CSimFaults::Refuse(Interface which) {
    std::lock_guard guard(m_lock);
    m_refused.insert(which);
}

void CSimFaults::FailStatistics(HRESULT result) {
    std::lock_guard guard(m_lock);
    m_statistics = result;
}

void CSimFaults::FailCommit(HRESULT result) {
    std::lock_guard guard(m_lock);
    m_commit = result;
}

void CSimFaults::DuringCommit(std::function<void()> action) {
    std::lock_guard guard(m_lock);
    m_commitAction = std::move(action);
}

void CSimFaults::LosePackets(std::uint16_t pid, int count) {
    std::lock_guard guard(m_lock);
    m_lose[pid].left += count;
}

void CSimFaults::StopPid(std::uint16_t pid) {
    std::lock_guard guard(m_lock);
    m_stopped.insert(pid);
}

void CSimFaults::JumpPcr(std::uint16_t pid, std::int64_t milliseconds) {
    std::lock_guard guard(m_lock);
    const auto ticks = static_cast<std::uint64_t>(milliseconds * 27'000);
    m_pcrOffset[pid] = (m_pcrOffset[pid] + ticks) % kPcrModulus;
}

void CSimFaults::CorruptPackets(int count) {
    std::lock_guard guard(m_lock);
    m_nCorrupt += count;
}

void CSimFaults::ApplyToStream(std::uint8_t* packets, std::size_t count) {
    std::lock_guard guard(m_lock);
    if (m_lose.empty() && m_stopped.empty() && m_pcrOffset.empty() && m_nCorrupt == 0) return;
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t* packet = packets + i * kPacketSize;
        const auto pid = static_cast<std::uint16_t>(((packet[1] & 0x1F) << 8) | packet[2]);
        if (pid == kNullPid) continue;
        const bool payload = (packet[3] & 0x10) != 0;
        if (m_stopped.count(pid) != 0) {
            MakeNull(packet);
            continue;
        }
        if (const auto lose = m_lose.find(pid); lose != m_lose.end() && payload) {
            // Every other packet, so that each loss is a break of its own.
            Losing& losing = lose->second;
            losing.passNext = !losing.passNext;
            if (!losing.passNext) continue;
            MakeNull(packet);
            if (--losing.left == 0) m_lose.erase(lose);
            continue;
        }
        const bool pcr = (packet[3] & 0x20) != 0 && packet[4] >= 7 && (packet[5] & 0x10) != 0;
        if (const auto offset = m_pcrOffset.find(pid); pcr && offset != m_pcrOffset.end())
            AddToPcr(packet, offset->second);
        if (m_nCorrupt > 0) {
            packet[1] |= 0x80;
            --m_nCorrupt;
        }
    }
}

void CSimFaults::Clear() {
    std::lock_guard guard(m_lock);
    m_unsupported.clear();
    m_results.clear();
    m_refused.clear();
    m_statistics.reset();
    m_commit.reset();
    m_commitAction = nullptr;
    m_lose.clear();
    m_stopped.clear();
    m_pcrOffset.clear();
    m_nCorrupt = 0;
}

bool CSimFaults::IsUnsupported(const GUID& set, DWORD id) const {
    std::lock_guard guard(m_lock);
    return m_unsupported.contains({set, id});
}

std::optional<HRESULT> CSimFaults::ResultFor(const GUID& set, DWORD id, Operation operation) const {
    std::lock_guard guard(m_lock);
    const auto found = m_results.find({set, id, operation});
    if (found == m_results.end()) return std::nullopt;
    return found->second;
}

bool CSimFaults::IsRefused(Interface which) const {
    std::lock_guard guard(m_lock);
    return m_refused.contains(which);
}

std::optional<HRESULT> CSimFaults::StatisticsFailure() const {
    std::lock_guard guard(m_lock);
    return m_statistics;
}

std::optional<HRESULT> CSimFaults::CommitFailure() const {
    std::lock_guard guard(m_lock);
    return m_commit;
}

std::function<void()> CSimFaults::CommitAction() const {
    std::lock_guard guard(m_lock);
    return m_commitAction;
}
