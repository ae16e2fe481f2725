#pragma once
// Both ends of the network outputs' tests on 127.0.0.1: a UDP receiver, a TCP client, and
// transport streams to send (numbered packets, and the simulated multiplex).
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

namespace loopback {

inline constexpr auto kDeadline = std::chrono::seconds(10);

// `count` packets of `pid` whose payload bytes count on from packet `first`, so any loss, repeat
// or reordering shows in a byte comparison.
Bytes NumberedPackets(std::uint64_t first, std::size_t count, std::uint16_t pid = 0x0100);

// Packets of the simulated multiplex (three services, PSI every 100 ms at 20 Mbit/s).
Bytes SimulatedStream(std::size_t count);
// The service of the simulated multiplex that the service tests cut out.
std::uint16_t SimulatedService();

class CUdpReceiver {
public:
    CUdpReceiver();
    ~CUdpReceiver();
    CUdpReceiver(const CUdpReceiver&) = delete;
    CUdpReceiver& operator=(const CUdpReceiver&) = delete;

    std::uint16_t Port() const { return m_nPort; }
    // Every datagram waiting now, in order of arrival (any thread, one at a time).
    std::vector<Bytes> TakeWaiting();

private:
    int m_hSocket = -1;
    std::uint16_t m_nPort = 0;
};

class CTcpClient {
public:
    // Connects to 127.0.0.1:port (or `host`); a receive buffer of `receiveBuffer` bytes when
    // not 0, set before connecting so the window stays that small.
    explicit CTcpClient(std::uint16_t port, int receiveBuffer = 0, const char* host = "127.0.0.1");
    ~CTcpClient();
    CTcpClient(const CTcpClient&) = delete;
    CTcpClient& operator=(const CTcpClient&) = delete;

    bool Connected() const { return m_bConnected; }
    bool Send(const std::string& text);
    // What has come by now, without waiting.
    std::string TakeWaiting();
    // Reads until `size` bytes came in all, the server closed, or the deadline; the bytes.
    std::string ReadUntil(std::size_t size,
                          std::chrono::steady_clock::duration deadline = kDeadline);
    // Reads until the server closes (true) or the deadline (false).
    bool ReadToEnd(std::string* received, std::chrono::steady_clock::duration deadline = kDeadline);

private:
    int m_hSocket = -1;
    bool m_bConnected = false;
};

// A TCP port of 127.0.0.1 that was free a moment ago, for a server the test starts; 0 if none.
std::uint16_t FreeTcpPort();

// Calls `done` every millisecond until it is true or the deadline passes; its last answer.
template <typename Done>
bool WaitFor(Done done, std::chrono::steady_clock::duration deadline = kDeadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace loopback
