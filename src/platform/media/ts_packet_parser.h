#pragma once
// Splits a transport stream, fed in pieces of any size, into 188-byte packets: it carries a
// partial packet over to the next piece, finds the sync byte 0x47 again after garbage, counts
// packets per PID and continuity-counter errors, and hands each packet to a handler. Pure: no I/O,
// no allocation after construction, usable without any filter (a fuzz target feeds it).
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <vector>

// A snapshot of the parser's counters.
struct TransportCounters {
    std::map<std::uint16_t, std::uint64_t> packetsPerPid;  // PIDs seen at least once
    std::uint64_t continuityErrors = 0;                    // PID 0x1FFF excluded
    std::uint64_t syncLosses = 0;    // times an expected sync byte was missing
    std::uint64_t skippedBytes = 0;  // bytes dropped while looking for sync
};

class CTsPacketParser {
public:
    static constexpr std::size_t kPacketSize = 188;
    static constexpr std::uint8_t kSyncByte = 0x47;
    static constexpr std::uint16_t kNullPid = 0x1FFF;
    static constexpr std::size_t kPidCount = 0x2000;

    // Receives every complete packet, after it was counted; `packet` is valid during the call.
    class IPacketHandler {
    public:
        virtual void OnPacket(const std::uint8_t* packet, std::uint16_t pid) = 0;

    protected:
        ~IPacketHandler() = default;
    };

    CTsPacketParser();

    // Consumes `data`; `handler` may be null.
    void Feed(std::span<const std::uint8_t> data, IPacketHandler* handler);
    // Forgets a partial packet and the continuity state (a new stream starts); counters stay.
    void Resync();
    // Clears counters and state.
    void Reset();

    TransportCounters Counters() const;
    std::uint64_t PacketCount(std::uint16_t pid) const { return m_packets[pid & 0x1FFF]; }
    std::uint64_t ContinuityErrors() const { return m_nContinuityErrors; }
    std::uint64_t SyncLosses() const { return m_nSyncLosses; }
    std::uint64_t TotalPackets() const { return m_nTotalPackets; }

    static std::uint16_t PidOf(const std::uint8_t* packet) {
        return static_cast<std::uint16_t>(((packet[1] & 0x1F) << 8) | packet[2]);
    }

private:
    void Process(const std::uint8_t* packet, IPacketHandler* handler);
    void CheckContinuity(const std::uint8_t* packet, std::uint16_t pid);

    std::vector<std::uint64_t> m_packets;  // per PID
    std::vector<std::uint8_t> m_lastCc;    // per PID; kNoCc before the first packet
    std::array<std::uint8_t, kPacketSize> m_partial{};
    std::size_t m_nPartial = 0;
    bool m_bInSync = false;
    std::uint64_t m_nContinuityErrors = 0;
    std::uint64_t m_nSyncLosses = 0;
    std::uint64_t m_nSkippedBytes = 0;
    std::uint64_t m_nTotalPackets = 0;
};
