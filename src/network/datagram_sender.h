#pragma once
// Sends the live stream (or one service of it, cut as the player feed cuts it) as UDP datagrams,
// plain or with an RTP header, 7 whole transport packets (1316 bytes) a datagram, to a unicast
// or multicast address. The socket is non-blocking: a datagram the kernel refuses (its buffer is
// full, EAGAIN/ENOBUFS) is dropped and counted, so the tap's thread never waits. Bytes short of
// a whole datagram wait for the next call; Stop (and the destructor) send that tail.
//
// Threads: OnPackets runs on the tap's worker thread; Open, Stop and the counters on the
// owner's. m_lock guards the socket, the waiting bytes, the service filter and the RTP state;
// the counters are atomics read without it.
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "network/network_address.h"
#include "services/service_pid_filter.h"
#include "services/transport_packet_consumer.h"

class CDatagramSender final : public ITransportPacketConsumer {
public:
    static constexpr std::size_t kPacketsPerDatagram = 7;
    static constexpr std::size_t kPayloadSize = kPacketsPerDatagram * kPacketSize;  // 1316

    struct Options {
        NetworkAddress address;
        // Only this service (PID filter, PAT rewritten), or the whole transport stream.
        std::optional<std::uint16_t> service;
        // The socket's send buffer asked for; the system may give less.
        int sendBuffer = 1 << 20;
    };

    CDatagramSender() = default;
    CDatagramSender(const CDatagramSender&) = delete;
    CDatagramSender& operator=(const CDatagramSender&) = delete;
    ~CDatagramSender() override;

    // Resolves the address and opens the socket with its multicast settings. False with the
    // user's text in `error` ("Cannot resolve no.such.host: ...", "Unknown network interface:
    // eth9", ...); a sender opens at most once.
    bool Open(const Options& options, std::string* error);
    // Sends the waiting tail and closes the socket. Safe to call more than once, and unopened.
    void Stop();

    void OnPackets(std::span<const std::uint8_t> packets) override;

    bool IsOpen() const { return m_bOpen.load(std::memory_order_acquire); }
    // Where the datagrams go, resolved ("239.1.1.1:5004", "[::1]:1234"); empty before Open.
    std::string Destination() const;
    std::uint64_t SentDatagrams() const { return m_nSent.load(std::memory_order_relaxed); }
    std::uint64_t DroppedDatagrams() const { return m_nDropped.load(std::memory_order_relaxed); }
    // Transport stream bytes in the datagrams sent (RTP headers not counted).
    std::uint64_t SentBytes() const { return m_nSentBytes.load(std::memory_order_relaxed); }

private:
    void SendLocked(std::span<const std::uint8_t> payload);
    void TakeLocked(std::span<const std::uint8_t> data);

    mutable std::mutex m_lock;
    int m_hSocket = -1;
    sockaddr_storage m_destination{};
    socklen_t m_nDestinationSize = 0;
    std::string m_strDestination;
    bool m_bRtp = false;
    std::uint16_t m_nSequence = 0;
    std::uint32_t m_nSsrc = 0;
    std::chrono::steady_clock::time_point m_start;
    std::vector<std::uint8_t> m_waiting;   // bytes short of a whole datagram
    std::vector<std::uint8_t> m_datagram;  // header and payload being sent
    std::unique_ptr<CServicePidFilter> m_pFilter;
    std::vector<std::uint8_t> m_filtered;

    std::atomic<bool> m_bOpen{false};
    std::atomic<std::uint64_t> m_nSent{0};
    std::atomic<std::uint64_t> m_nDropped{0};
    std::atomic<std::uint64_t> m_nSentBytes{0};
};
