#include "loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "drivers/sim/sim_stream_config.h"
#include "drivers/sim/ts_generator.h"

namespace loopback {

namespace {

const SimStreamConfig& Simulated() {
    static const SimStreamConfig config = MakeSimStreamConfig(77, 1, 20'000'000, 3, "Net", 3);
    return config;
}

}  // namespace

Bytes NumberedPackets(std::uint64_t first, std::size_t count, std::uint16_t pid) {
    Bytes out(count * 188);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t* packet = &out[i * 188];
        const std::uint64_t number = first + i;
        packet[0] = 0x47;
        packet[1] = static_cast<std::uint8_t>(pid >> 8 & 0x1F);
        packet[2] = static_cast<std::uint8_t>(pid);
        packet[3] = static_cast<std::uint8_t>(0x10 | (number & 0x0F));  // payload only, CC
        for (std::size_t at = 4; at < 188; ++at)
            packet[at] = static_cast<std::uint8_t>(number * 7 + at);
    }
    return out;
}

Bytes SimulatedStream(std::size_t count) {
    CTsGenerator generator(Simulated());
    Bytes out(count * 188);
    generator.Fill(out.data(), count);
    return out;
}

std::uint16_t SimulatedService() {
    return Simulated().services[1].service_id;
}

CUdpReceiver::CUdpReceiver() {
    m_hSocket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    // As large as the system lets a user have: the tests read after each burst.
    const int size = 4 << 20;
    ::setsockopt(m_hSocket, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    // Unbound, the port stays 0, which no sender opens to.
    if (::bind(m_hSocket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return;
    socklen_t length = sizeof address;
    ::getsockname(m_hSocket, reinterpret_cast<sockaddr*>(&address), &length);
    m_nPort = ntohs(address.sin_port);
}

CUdpReceiver::~CUdpReceiver() {
    ::close(m_hSocket);
}

std::vector<Bytes> CUdpReceiver::TakeWaiting() {
    std::vector<Bytes> datagrams;
    Bytes buffer(65536);
    for (;;) {
        const ssize_t got = ::recv(m_hSocket, buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (got < 0) return datagrams;
        datagrams.emplace_back(buffer.begin(), buffer.begin() + got);
    }
}

CTcpClient::CTcpClient(std::uint16_t port, int receiveBuffer, const char* host) {
    m_hSocket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (receiveBuffer > 0)
        ::setsockopt(m_hSocket, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    ::inet_pton(AF_INET, host, &address.sin_addr);
    m_bConnected =
        ::connect(m_hSocket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

CTcpClient::~CTcpClient() {
    ::close(m_hSocket);
}

bool CTcpClient::Send(const std::string& text) {
    return ::send(m_hSocket, text.data(), text.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(text.size());
}

std::string CTcpClient::TakeWaiting() {
    std::string received;
    char buffer[65536];
    ssize_t got = 0;
    while ((got = ::recv(m_hSocket, buffer, sizeof buffer, MSG_DONTWAIT)) > 0)
        received.append(buffer, static_cast<std::size_t>(got));
    return received;
}

std::string CTcpClient::ReadUntil(std::size_t size, std::chrono::steady_clock::duration deadline) {
    std::string received;
    const auto end = std::chrono::steady_clock::now() + deadline;
    char buffer[65536];
    while (received.size() < size && std::chrono::steady_clock::now() < end) {
        pollfd watched{m_hSocket, POLLIN, 0};
        if (::poll(&watched, 1, 10) <= 0) continue;
        const std::size_t want = std::min(sizeof buffer, size - received.size());
        const ssize_t got = ::recv(m_hSocket, buffer, want, 0);
        if (got <= 0) break;
        received.append(buffer, static_cast<std::size_t>(got));
    }
    return received;
}

bool CTcpClient::ReadToEnd(std::string* received, std::chrono::steady_clock::duration deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    char buffer[65536];
    while (std::chrono::steady_clock::now() < end) {
        pollfd watched{m_hSocket, POLLIN, 0};
        if (::poll(&watched, 1, 10) <= 0) continue;
        const ssize_t got = ::recv(m_hSocket, buffer, sizeof buffer, 0);
        if (got == 0 || (got < 0 && errno == ECONNRESET)) return true;
        if (got < 0) return false;
        received->append(buffer, static_cast<std::size_t>(got));
    }
    return false;
}

std::uint16_t FreeTcpPort() {
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    std::uint16_t port = 0;
    if (::bind(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(probe);
    return port;
}

}  // namespace loopback
