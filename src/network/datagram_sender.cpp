#include "network/datagram_sender.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>

#include "network/rtp_header.h"

namespace {

// A numeric "host:port" of a socket address, IPv6 in brackets.
std::string NumericName(const sockaddr* address, socklen_t size) {
    char host[NI_MAXHOST] = {};
    char port[NI_MAXSERV] = {};
    if (::getnameinfo(address, size, host, sizeof host, port, sizeof port,
                      NI_NUMERICHOST | NI_NUMERICSERV) != 0)
        return {};
    const std::string name = address->sa_family == AF_INET6 ? "[" + std::string(host) + "]" : host;
    return name + ":" + port;
}

// The multicast TTL and interface on `fd`; false with the user's text in `error`.
bool SetMulticast(int fd, int family, const NetworkAddress& address, std::string* error) {
    const auto fail = [&](std::string text) {
        *error = std::move(text);
        return false;
    };
    if (address.ttl) {
        const int ttl = *address.ttl;
        const int level = family == AF_INET6 ? IPPROTO_IPV6 : IPPROTO_IP;
        const int name = family == AF_INET6 ? IPV6_MULTICAST_HOPS : IP_MULTICAST_TTL;
        if (::setsockopt(fd, level, name, &ttl, sizeof ttl) != 0)
            return fail("Cannot set the TTL " + std::to_string(ttl) + ": " + std::strerror(errno));
    }
    if (address.interface.empty()) return true;
    const std::string& wanted = address.interface;
    if (family == AF_INET6) {
        // IPv6 names its multicast interface by index only.
        const unsigned index = ::if_nametoindex(wanted.c_str());
        if (index == 0) return fail("Unknown network interface: " + wanted);
        const int value = static_cast<int>(index);
        if (::setsockopt(fd, IPPROTO_IPV6, IPV6_MULTICAST_IF, &value, sizeof value) != 0)
            return fail("Cannot send through " + wanted + ": " + std::strerror(errno));
        return true;
    }
    ip_mreqn request{};
    if (::inet_pton(AF_INET, wanted.c_str(), &request.imr_address) != 1) {
        request.imr_ifindex = static_cast<int>(::if_nametoindex(wanted.c_str()));
        if (request.imr_ifindex == 0) return fail("Unknown network interface: " + wanted);
    }
    if (::setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &request, sizeof request) != 0)
        return fail("Cannot send through " + wanted + ": " + std::strerror(errno));
    return true;
}

}  // namespace

CDatagramSender::~CDatagramSender() {
    Stop();
}

bool CDatagramSender::Open(const Options& options, std::string* error) {
    std::string text;
    const auto fail = [&](std::string why) {
        if (error != nullptr) *error = std::move(why);
        return false;
    };
    const NetworkAddress& address = options.address;
    std::lock_guard guard(m_lock);
    if (m_hSocket >= 0 || !m_strDestination.empty()) return fail("The sender was opened already.");
    if (address.port == 0)
        return fail("Port 0 is no destination: " + FormatNetworkAddress(address));
    if (address.host.empty()) return fail("No host to send to.");

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(address.port);
    const int resolved = ::getaddrinfo(address.host.c_str(), port.c_str(), &hints, &found);
    if (resolved != 0 || found == nullptr)
        return fail("Cannot resolve " + address.host + ": " + ::gai_strerror(resolved));
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owned(found, &::freeaddrinfo);

    const int fd = ::socket(found->ai_family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return fail(std::string("No socket: ") + std::strerror(errno));
    const int sendBuffer = options.sendBuffer;
    // Best effort: a smaller buffer only means earlier drops.
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
    // A subnet's broadcast address is a destination like any other to the user.
    const int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &yes, sizeof yes);
    if (!SetMulticast(fd, found->ai_family, address, &text)) {
        ::close(fd);
        return fail(text);
    }

    std::memcpy(&m_destination, found->ai_addr, found->ai_addrlen);
    m_nDestinationSize = found->ai_addrlen;
    m_strDestination = NumericName(found->ai_addr, found->ai_addrlen);
    m_hSocket = fd;
    m_bRtp = address.scheme == NetworkScheme::Rtp;
    // RFC 3550 asks for a random first sequence number and SSRC.
    std::random_device seed;
    std::mt19937 random(seed());
    m_nSequence = static_cast<std::uint16_t>(random());
    m_nSsrc = static_cast<std::uint32_t>(random());
    m_start = std::chrono::steady_clock::now();
    m_waiting.clear();
    m_waiting.reserve(kPayloadSize);
    m_datagram.reserve(RtpHeader::kSize + kPayloadSize);
    if (options.service) m_pFilter = std::make_unique<CServicePidFilter>(*options.service);
    m_bOpen.store(true, std::memory_order_release);
    return true;
}

void CDatagramSender::Stop() {
    std::lock_guard guard(m_lock);
    if (m_hSocket < 0) return;
    // The stream's tail, in a shorter datagram of whole packets.
    const std::size_t whole = m_waiting.size() / kPacketSize * kPacketSize;
    if (whole > 0) SendLocked({m_waiting.data(), whole});
    m_waiting.clear();
    ::close(m_hSocket);
    m_hSocket = -1;
    m_bOpen.store(false, std::memory_order_release);
}

std::string CDatagramSender::Destination() const {
    std::lock_guard guard(m_lock);
    return m_strDestination;
}

void CDatagramSender::OnPackets(std::span<const std::uint8_t> packets) {
    std::lock_guard guard(m_lock);
    if (m_hSocket < 0) return;
    if (m_pFilter) {
        m_filtered.clear();
        m_pFilter->Filter(packets.first(packets.size() / kPacketSize * kPacketSize), m_filtered);
        TakeLocked(m_filtered);
    } else {
        TakeLocked(packets);
    }
}

void CDatagramSender::TakeLocked(std::span<const std::uint8_t> data) {
    if (!m_waiting.empty()) {
        const std::size_t topUp = std::min(kPayloadSize - m_waiting.size(), data.size());
        m_waiting.insert(m_waiting.end(), data.begin(),
                         data.begin() + static_cast<std::ptrdiff_t>(topUp));
        data = data.subspan(topUp);
        if (m_waiting.size() < kPayloadSize) return;
        SendLocked(m_waiting);
        m_waiting.clear();
    }
    // Whole datagrams straight from the caller's bytes; the rest waits.
    while (data.size() >= kPayloadSize) {
        SendLocked(data.first(kPayloadSize));
        data = data.subspan(kPayloadSize);
    }
    m_waiting.assign(data.begin(), data.end());
}

void CDatagramSender::SendLocked(std::span<const std::uint8_t> payload) {
    std::span<const std::uint8_t> datagram = payload;
    if (m_bRtp) {
        RtpHeader header;
        // A datagram dropped below still takes its number: the receiver sees the gap.
        header.sequence = m_nSequence++;
        header.timestamp = RtpTimestamp(std::chrono::steady_clock::now() - m_start);
        header.ssrc = m_nSsrc;
        const auto bytes = WriteRtpHeader(header);
        m_datagram.assign(bytes.begin(), bytes.end());
        m_datagram.insert(m_datagram.end(), payload.begin(), payload.end());
        datagram = m_datagram;
    }
    const ssize_t sent =
        ::sendto(m_hSocket, datagram.data(), datagram.size(), MSG_NOSIGNAL | MSG_DONTWAIT,
                 reinterpret_cast<const sockaddr*>(&m_destination), m_nDestinationSize);
    if (sent == static_cast<ssize_t>(datagram.size())) {
        m_nSent.fetch_add(1, std::memory_order_relaxed);
        m_nSentBytes.fetch_add(payload.size(), std::memory_order_relaxed);
        return;
    }
    // EAGAIN and ENOBUFS (the buffer is full), and a network that is down for a moment: the
    // datagram is lost, the stream goes on.
    m_nDropped.fetch_add(1, std::memory_order_relaxed);
}
