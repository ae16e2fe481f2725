#pragma once
// Serves the live stream over HTTP to players on this machine (bound to 127.0.0.1) or, when the
// user opens it, on the network (0.0.0.0): "GET /stream" streams the whole transport stream,
// "GET /service/N" one service as the player feed cuts it (a CServicePidFilter per client).
// Answers are "HTTP/1.1 200 OK", "Content-Type: video/mp2t", "Connection: close", without a
// length; the stream goes on until the client leaves or the server stops. Other paths get 404,
// other methods 405, garbage 400.
//
// The tap's thread never waits: OnPackets appends to each streaming client's queue, bounded by
// Options::clientQueue; a client whose queue would overflow does not keep up, and is closed and
// counted. One thread of the server poll()s the listening socket, an eventfd that OnPackets and
// Stop signal, and the clients; it accepts, reads requests and sends the queues (non-blocking,
// MSG_NOSIGNAL so a client gone never raises SIGPIPE).
//
// Threads and locks: Start, Stop and the counters on the owner's thread; OnPackets on the tap's
// worker; the rest on the server's thread. m_clientLock guards the list of streaming clients and
// in each its queue, its count of bytes taken for sending, its filter and its dropped flag, and
// the wake flag (a leaf lock, never held across a call that can wait; OnPackets writes the
// eventfd under it, so the eventfd outlives every write). The server's thread alone touches the
// sockets, the clients still reading their request, and the bytes it is sending.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "services/transport_packet_consumer.h"

struct HttpStreamRequest;

class CHttpStreamServer final : public ITransportPacketConsumer {
public:
    static constexpr std::size_t kDefaultClientQueue = std::size_t{4} << 20;
    static constexpr std::size_t kDefaultMaxClients = 32;

    struct Options {
        std::uint16_t port = 0;      // 0: a free port of the system's choice (see Port())
        bool openToNetwork = false;  // 0.0.0.0 instead of 127.0.0.1
        std::size_t clientQueue = kDefaultClientQueue;
        std::size_t maxClients = kDefaultMaxClients;  // beyond it a new client is closed at once
    };

    CHttpStreamServer();
    CHttpStreamServer(const CHttpStreamServer&) = delete;
    CHttpStreamServer& operator=(const CHttpStreamServer&) = delete;
    ~CHttpStreamServer() override;

    // Listens and starts the server's thread. False with the user's text in `error` ("Port 8001
    // is in use", ...), or when it runs already. After Stop it may start again; the counters
    // go on counting.
    bool Start(std::uint16_t port, bool openToNetwork, std::string* error);
    bool Start(const Options& options, std::string* error);
    // Closes every client and the listening socket and joins the server's thread. Safe to call
    // more than once, and unstarted.
    void Stop();

    void OnPackets(std::span<const std::uint8_t> packets) override;

    bool IsRunning() const { return m_bRunning.load(std::memory_order_acquire); }
    // The port listened on (the one picked when 0 was asked); 0 before Start.
    std::uint16_t Port() const { return m_nPort.load(std::memory_order_acquire); }
    // "http://127.0.0.1:8001" (or the 0.0.0.0 form when open), without a path; empty unstarted.
    std::string BaseUrl() const;

    // Clients streaming now.
    std::size_t ClientsNow() const { return m_nClientsNow.load(std::memory_order_relaxed); }
    // Clients that were answered 200 and got the stream, since Start.
    std::uint64_t ClientsServed() const { return m_nServed.load(std::memory_order_relaxed); }
    // Clients closed because their queue was full.
    std::uint64_t ClientsDropped() const { return m_nDropped.load(std::memory_order_relaxed); }
    // Transport stream bytes sent to all clients (answer heads not counted).
    std::uint64_t BytesSent() const { return m_nBytesSent.load(std::memory_order_relaxed); }

private:
    struct Client;

    void Run();
    void Accept();
    // Reads the request, or what a streaming client sends after it; false when it is gone.
    bool ReadFrom(Client& client);
    void Answer(Client& client, const HttpStreamRequest& request);
    // Sends what the client has; false when it is gone (closed by it, or dropped as too slow).
    bool SendQueued(Client& client);
    void Close(const std::shared_ptr<Client>& client);

    Options m_options;
    int m_hListen = -1;
    int m_hWake = -1;  // eventfd
    std::thread m_thread;
    std::atomic<bool> m_bQuit{false};

    std::mutex m_clientLock;
    std::vector<std::shared_ptr<Client>> m_streaming;  // answered 200, fed by OnPackets
    bool m_bWakePending = false;                       // the eventfd was written and not yet read

    // The server thread's own.
    std::vector<std::shared_ptr<Client>> m_clients;  // every open connection
    std::chrono::steady_clock::time_point m_acceptPausedUntil;

    std::atomic<bool> m_bRunning{false};
    std::atomic<std::uint16_t> m_nPort{0};
    std::atomic<std::size_t> m_nClientsNow{0};
    std::atomic<std::uint64_t> m_nServed{0};
    std::atomic<std::uint64_t> m_nDropped{0};
    std::atomic<std::uint64_t> m_nBytesSent{0};
};
