#include "network/http_stream_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "network/http_stream_request.h"
#include "services/service_pid_filter.h"

namespace {

using Clock = std::chrono::steady_clock;

// A client that sends no whole request in this time is closed; one that was answered with an
// error is given this long to read it and close its end.
constexpr auto kRequestTime = std::chrono::seconds(10);
constexpr auto kLingerTime = std::chrono::seconds(2);
constexpr int kBacklog = 16;
// Out of descriptors, the listening socket stays readable: accepting pauses meanwhile.
constexpr auto kAcceptPause = std::chrono::milliseconds(200);
// Reads a turn from one client, so one that never stops talking cannot hold up the others.
constexpr int kReadsPerTurn = 16;

void CloseSocket(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

struct CHttpStreamServer::Client {
    int fd = -1;
    Clock::time_point since;
    std::string request;  // received while the head is incomplete
    std::string answer;   // the head (or the whole error answer) to send
    std::size_t answerSent = 0;
    bool answered = false;
    bool streaming = false;  // answered 200: in m_streaming
    bool shut = false;       // error answer sent and our end shut
    std::vector<std::uint8_t> sending;
    std::size_t sendingAt = 0;

    // Guarded by m_clientLock.
    std::vector<std::uint8_t> queue;
    std::size_t taken = 0;  // bytes moved to `sending`, counted against the queue's bound
    std::unique_ptr<CServicePidFilter> filter;
    std::vector<std::uint8_t> filtered;
    bool dropped = false;
};

CHttpStreamServer::CHttpStreamServer() = default;

CHttpStreamServer::~CHttpStreamServer() {
    Stop();
}

bool CHttpStreamServer::Start(std::uint16_t port, bool openToNetwork, std::string* error) {
    Options options;
    options.port = port;
    options.openToNetwork = openToNetwork;
    return Start(options, error);
}

bool CHttpStreamServer::Start(const Options& options, std::string* error) {
    const auto fail = [&](std::string text) {
        if (error != nullptr) *error = std::move(text);
        return false;
    };
    if (m_thread.joinable() || m_hListen >= 0) return fail("The server was started already.");
    const std::string portText = std::to_string(options.port);
    int listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listenFd < 0) return fail(std::string("No socket: ") + std::strerror(errno));
    // A port left in TIME_WAIT by the last run is free to take; a listener of another program
    // still makes EADDRINUSE.
    const int yes = 1;
    ::setsockopt(listenFd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(options.port);
    address.sin_addr.s_addr = htonl(options.openToNetwork ? INADDR_ANY : INADDR_LOOPBACK);
    if (::bind(listenFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd, kBacklog) != 0) {
        const int cause = errno;
        CloseSocket(listenFd);
        if (cause == EADDRINUSE) return fail("Port " + portText + " is in use");
        if (cause == EACCES)
            return fail("Port " + portText + " needs administrator rights: pick 1024 or above");
        return fail("Cannot listen on port " + portText + ": " + std::strerror(cause));
    }
    socklen_t size = sizeof address;
    ::getsockname(listenFd, reinterpret_cast<sockaddr*>(&address), &size);
    const int wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd < 0) {
        const int cause = errno;
        CloseSocket(listenFd);
        return fail(std::string("No eventfd: ") + std::strerror(cause));
    }

    {
        std::lock_guard guard(m_clientLock);
        m_bWakePending = false;  // a wake left over from a run before is no more
    }
    m_options = options;
    m_options.clientQueue = std::max<std::size_t>(options.clientQueue, 1);
    m_options.maxClients = std::max<std::size_t>(options.maxClients, 1);
    m_hListen = listenFd;
    m_hWake = wakeFd;
    m_nPort.store(ntohs(address.sin_port), std::memory_order_release);
    m_bQuit.store(false);
    m_thread = std::thread(&CHttpStreamServer::Run, this);
    m_bRunning.store(true, std::memory_order_release);
    return true;
}

void CHttpStreamServer::Stop() {
    if (!m_thread.joinable()) return;
    m_bQuit.store(true);
    const std::uint64_t one = 1;
    // The eventfd's counter only grows: this write cannot be refused while it is far from full.
    [[maybe_unused]] const ssize_t written = ::write(m_hWake, &one, sizeof one);
    m_thread.join();
    CloseSocket(m_hListen);
    CloseSocket(m_hWake);
    m_bRunning.store(false, std::memory_order_release);
}

std::string CHttpStreamServer::BaseUrl() const {
    const std::uint16_t port = Port();
    if (port == 0) return {};
    return std::string(m_options.openToNetwork ? "http://0.0.0.0:" : "http://127.0.0.1:") +
           std::to_string(port);
}

void CHttpStreamServer::OnPackets(std::span<const std::uint8_t> packets) {
    const std::span<const std::uint8_t> whole =
        packets.first(packets.size() / kPacketSize * kPacketSize);
    if (whole.empty()) return;
    std::lock_guard guard(m_clientLock);
    bool wake = false;
    for (const std::shared_ptr<Client>& client : m_streaming) {
        if (client->dropped) continue;
        std::span<const std::uint8_t> data = whole;
        if (client->filter) {
            client->filtered.clear();
            client->filter->Filter(whole, client->filtered);
            data = client->filtered;
        }
        if (data.empty()) continue;
        if (client->queue.size() + client->taken + data.size() > m_options.clientQueue) {
            // It does not keep up: rather than wait for it or cut its stream, it goes.
            client->dropped = true;
            std::vector<std::uint8_t>().swap(client->queue);
            wake = true;
            continue;
        }
        wake = wake || client->queue.empty();
        client->queue.insert(client->queue.end(), data.begin(), data.end());
    }
    // Under the lock: the server's thread closes the eventfd only after it has emptied
    // m_streaming, which it does under this lock.
    if (wake && !m_bWakePending) {
        m_bWakePending = true;
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_hWake, &one, sizeof one);
    }
}

void CHttpStreamServer::Run() {
    std::vector<pollfd> watched;
    std::vector<std::shared_ptr<Client>> gone;
    while (!m_bQuit.load()) {
        watched.clear();
        watched.push_back({m_hWake, POLLIN, 0});
        const bool accepting = Clock::now() >= m_acceptPausedUntil;
        watched.push_back({accepting ? m_hListen : -1, POLLIN, 0});
        bool waiting = !accepting;  // a client, or the pause, has a deadline
        for (const std::shared_ptr<Client>& client : m_clients) {
            const bool unsent = client->answerSent < client->answer.size() ||
                                client->sendingAt < client->sending.size();
            const auto events = static_cast<short>(POLLIN | (unsent ? POLLOUT : 0));
            watched.push_back({client->fd, events, 0});
            waiting = waiting || !client->streaming;
        }
        const int ready = ::poll(watched.data(), watched.size(), waiting ? 500 : -1);
        if (ready < 0 && errno != EINTR) break;
        if ((watched[0].revents & POLLIN) != 0) {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t got = ::read(m_hWake, &count, sizeof count);
            std::lock_guard guard(m_clientLock);
            m_bWakePending = false;
        }
        if (m_bQuit.load()) break;

        const Clock::time_point now = Clock::now();
        for (std::size_t i = 0; i < m_clients.size(); ++i) {
            Client& client = *m_clients[i];
            const short events = watched[i + 2].revents;
            bool keep = true;
            if ((events & (POLLIN | POLLHUP | POLLERR)) != 0) keep = ReadFrom(client);
            if (client.answered) keep = SendQueued(client) && keep;
            if (!client.answered && now - client.since > kRequestTime) keep = false;
            if (client.shut && now - client.since > kLingerTime) keep = false;
            if (!keep) gone.push_back(m_clients[i]);
        }
        for (const std::shared_ptr<Client>& client : gone) Close(client);
        gone.clear();
        if ((watched[1].revents & POLLIN) != 0) Accept();
    }
    while (!m_clients.empty()) Close(m_clients.back());
}

void CHttpStreamServer::Accept() {
    for (;;) {
        const int fd = ::accept4(m_hListen, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            // EAGAIN: no more for now. A client gone before it was taken is no news; anything
            // else (EMFILE, ENOBUFS) would wake the poll at once again.
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR && errno != ECONNABORTED)
                m_acceptPausedUntil = Clock::now() + kAcceptPause;
            return;
        }
        if (m_clients.size() >= m_options.maxClients) {
            const std::string busy = HttpAnswerHead(503);
            [[maybe_unused]] const ssize_t sent =
                ::send(fd, busy.data(), busy.size(), MSG_NOSIGNAL);
            ::close(fd);
            continue;
        }
        auto client = std::make_shared<Client>();
        client->fd = fd;
        client->since = Clock::now();
        m_clients.push_back(std::move(client));
    }
}

bool CHttpStreamServer::ReadFrom(Client& client) {
    char buffer[4096];
    for (int turn = 0; turn < kReadsPerTurn; ++turn) {
        const ssize_t got = ::recv(client.fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got == 0) {
            // Its end is closed: what is left of an error answer is sent if it still fits.
            if (!client.streaming && client.answered) SendQueued(client);
            return false;
        }
        if (got < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        if (client.answered) continue;  // a streaming client has nothing more to say
        client.request.append(buffer, static_cast<std::size_t>(got));
        const std::size_t end = HttpHeadEnd(client.request);
        if (end != std::string::npos) {
            Answer(client, ParseHttpStreamRequest(std::string_view(client.request).substr(0, end)));
        } else if (client.request.size() > HttpStreamRequest::kMaxHeadSize) {
            Answer(client, HttpStreamRequest{});
        }
    }
    return true;
}

void CHttpStreamServer::Answer(Client& client, const HttpStreamRequest& request) {
    client.answered = true;
    client.since = Clock::now();
    client.request.clear();
    client.answer = HttpAnswerHead(request.status);
    if (request.status != 200) return;
    client.streaming = true;
    std::lock_guard guard(m_clientLock);
    if (request.service) client.filter = std::make_unique<CServicePidFilter>(*request.service);
    for (const std::shared_ptr<Client>& known : m_clients) {
        if (known.get() == &client) m_streaming.push_back(known);
    }
    m_nServed.fetch_add(1, std::memory_order_relaxed);
    m_nClientsNow.fetch_add(1, std::memory_order_relaxed);
}

bool CHttpStreamServer::SendQueued(Client& client) {
    while (client.answerSent < client.answer.size()) {
        const ssize_t sent =
            ::send(client.fd, client.answer.data() + client.answerSent,
                   client.answer.size() - client.answerSent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        client.answerSent += static_cast<std::size_t>(sent);
    }
    if (!client.streaming) {
        // The error answer is out: the client reads it and closes, or the linger ends it.
        if (!client.shut) ::shutdown(client.fd, SHUT_WR);
        client.shut = true;
        return true;
    }
    {
        std::lock_guard guard(m_clientLock);
        if (client.dropped) {
            m_nDropped.fetch_add(1, std::memory_order_relaxed);
            return false;
        }
    }
    for (;;) {
        if (client.sendingAt == client.sending.size()) {
            std::lock_guard guard(m_clientLock);
            client.sending.swap(client.queue);
            client.queue.clear();
            client.sendingAt = 0;
            client.taken = client.sending.size();
            if (client.sending.empty()) return true;
        }
        const ssize_t sent =
            ::send(client.fd, client.sending.data() + client.sendingAt,
                   client.sending.size() - client.sendingAt, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0) {
            if (errno == EINTR) continue;
            return errno == EAGAIN || errno == EWOULDBLOCK;  // else it is gone (EPIPE, ECONNRESET)
        }
        client.sendingAt += static_cast<std::size_t>(sent);
        m_nBytesSent.fetch_add(static_cast<std::uint64_t>(sent), std::memory_order_relaxed);
    }
}

void CHttpStreamServer::Close(const std::shared_ptr<Client>& client) {
    if (client->streaming) {
        std::lock_guard guard(m_clientLock);
        std::erase(m_streaming, client);
        m_nClientsNow.fetch_sub(1, std::memory_order_relaxed);
    }
    CloseSocket(client->fd);
    std::erase(m_clients, client);
}
