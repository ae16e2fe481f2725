#include "network/http_stream_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <ifaddrs.h>
#include <netinet/in.h>

#include <atomic>
#include <thread>

#include "loopback.h"
#include "services/service_pid_filter.h"

namespace {

using loopback::CTcpClient;
using loopback::WaitFor;

constexpr std::string_view kStreamHead =
    "HTTP/1.1 200 OK\r\n"
    "Content-Type: video/mp2t\r\n"
    "Cache-Control: no-cache\r\n"
    "Connection: close\r\n\r\n";

std::string Text(const Bytes& bytes) {
    return {bytes.begin(), bytes.end()};
}

// FNV-1a over everything fed, and the count: a recording's stand-in that keeps no copy.
struct Digest {
    std::uint64_t hash = 14695981039346656037ull;
    std::uint64_t size = 0;
    void Add(const char* data, std::size_t length) {
        for (std::size_t i = 0; i < length; ++i) {
            hash = (hash ^ static_cast<std::uint8_t>(data[i])) * 1099511628211ull;
        }
        size += length;
    }
    bool operator==(const Digest&) const = default;
};

class CDigestConsumer final : public ITransportPacketConsumer {
public:
    void OnPackets(std::span<const std::uint8_t> packets) override {
        m_digest.Add(reinterpret_cast<const char*>(packets.data()), packets.size());
    }
    Digest m_digest;  // read after the feeding thread is joined
};

TEST(HttpStreamServerTest, ClientsAtOnceGetTheWholeStreamByteExactAndAServiceItsCut) {
    CHttpStreamServer server;
    std::string error;
    ASSERT_TRUE(server.Start(0, false, &error)) << error;
    const std::uint16_t service = loopback::SimulatedService();
    CTcpClient first(server.Port());
    CTcpClient second(server.Port());
    CTcpClient cut(server.Port());
    ASSERT_TRUE(first.Send("GET /stream HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
    ASSERT_TRUE(second.Send("GET /stream?player=mpv HTTP/1.0\r\n\r\n"));
    ASSERT_TRUE(cut.Send("GET /service/" + std::to_string(service) + " HTTP/1.1\r\n\r\n"));
    ASSERT_TRUE(WaitFor([&] { return server.ClientsNow() == 3; }));

    const Bytes stream = loopback::SimulatedStream(8000);
    constexpr std::size_t kPiece = std::size_t{188} * 50;
    CServicePidFilter reference(service);
    Bytes serviceBytes;
    for (std::size_t at = 0; at < stream.size(); at += kPiece) {
        const std::span<const std::uint8_t> piece(stream.data() + at,
                                                  std::min(kPiece, stream.size() - at));
        server.OnPackets(piece);
        reference.Filter(piece, serviceBytes);
    }
    ASSERT_GT(serviceBytes.size(), 0u);
    const std::string whole = std::string(kStreamHead) + Text(stream);
    EXPECT_TRUE(first.ReadUntil(whole.size()) == whole);
    EXPECT_TRUE(second.ReadUntil(whole.size()) == whole);
    const std::string cutWhole = std::string(kStreamHead) + Text(serviceBytes);
    EXPECT_TRUE(cut.ReadUntil(cutWhole.size()) == cutWhole);
    EXPECT_EQ(server.BytesSent(), 2 * stream.size() + serviceBytes.size());

    server.Stop();
    for (CTcpClient* client : {&first, &second, &cut}) {
        std::string more;
        EXPECT_TRUE(client->ReadToEnd(&more)) << "Stop closes every client";
        EXPECT_EQ(more, "");
    }
    EXPECT_EQ(server.ClientsServed(), 3u);
    EXPECT_EQ(server.ClientsDropped(), 0u);
    EXPECT_EQ(server.ClientsNow(), 0u);
}

// Guards against a client that stops reading making the tap's thread wait, or costing the other
// client or the recording any byte.
TEST(HttpStreamServerTest, AClientThatStopsReadingIsDroppedWhileTheOthersStayComplete) {
    CHttpStreamServer server;
    CHttpStreamServer::Options options;
    options.clientQueue = std::size_t{256} * 1024;
    std::string error;
    ASSERT_TRUE(server.Start(options, &error)) << error;
    CTcpClient reading(server.Port());
    CTcpClient stalled(server.Port(), 4096);
    ASSERT_TRUE(reading.Send("GET /stream HTTP/1.1\r\n\r\n"));
    ASSERT_TRUE(stalled.Send("GET /stream HTTP/1.1\r\n\r\n"));
    ASSERT_TRUE(WaitFor([&] { return server.ClientsNow() == 2; }));
    ASSERT_EQ(reading.ReadUntil(kStreamHead.size()), kStreamHead);

    std::atomic<std::uint64_t> got{0};
    Digest readerDigest;
    std::thread reader([&] {
        const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        for (bool ended = false; !ended && std::chrono::steady_clock::now() < end;) {
            std::string piece;
            ended = reading.ReadToEnd(&piece, std::chrono::milliseconds(20));
            readerDigest.Add(piece.data(), piece.size());
            got.fetch_add(piece.size());
        }
    });

    // The tap's worker: every consumer in turn, never waiting for one.
    auto recording = std::make_shared<CDigestConsumer>();
    Digest fedDigest;
    std::uint64_t fedAtDrop = 0;
    bool paced = true;
    std::thread tap([&] {
        constexpr std::size_t kChunk = 100;
        constexpr std::uint64_t kMost = std::uint64_t{64} << 20;
        for (std::uint64_t number = 0; fedDigest.size < kMost; number += kChunk) {
            const Bytes chunk = loopback::NumberedPackets(number, kChunk);
            server.OnPackets(chunk);
            recording->OnPackets(chunk);
            fedDigest.Add(reinterpret_cast<const char*>(chunk.data()), chunk.size());
            if (fedAtDrop == 0 && server.ClientsDropped() == 1) fedAtDrop = fedDigest.size;
            if (fedAtDrop != 0 && fedDigest.size > fedAtDrop + (std::uint64_t{2} << 20)) break;
            // At a pace the reading client keeps up with: its queue stays far from full.
            paced = WaitFor([&] { return got.load() + options.clientQueue / 2 >= fedDigest.size; });
            if (!paced) break;
        }
    });
    tap.join();
    ASSERT_TRUE(paced) << "the reading client fell behind";
    ASSERT_NE(fedAtDrop, 0u) << "the stalled client was never dropped";
    EXPECT_TRUE(WaitFor([&] { return got.load() == fedDigest.size; }));
    EXPECT_EQ(server.ClientsDropped(), 1u);
    EXPECT_EQ(server.ClientsNow(), 1u);
    std::string stalledBytes;
    EXPECT_TRUE(stalled.ReadToEnd(&stalledBytes)) << "the dropped client was closed";
    EXPECT_LT(stalledBytes.size(), fedDigest.size);

    server.Stop();
    reader.join();
    EXPECT_EQ(readerDigest, fedDigest) << "the reading client got every byte, in order";
    EXPECT_EQ(recording->m_digest, fedDigest) << "the recording got every byte";
    EXPECT_EQ(server.ClientsServed(), 2u);
}

std::string ErrorAnswer(const std::string& statusLine, const std::string& extra,
                        const std::string& body) {
    return "HTTP/1.1 " + statusLine + "\r\nContent-Type: text/plain; charset=utf-8\r\n" + extra +
           "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
           body;
}

TEST(HttpStreamServerTest, AnswersOtherPathsMethodsAndGarbageWithAShortTextAndCloses) {
    const std::string notFound = ErrorAnswer(
        "404 Not Found", "", "Not found: ask for /stream or /service/N (N: a service number).\n");
    const std::string notAllowed =
        ErrorAnswer("405 Method Not Allowed", "Allow: GET\r\n", "Only GET is served.\n");
    const std::string bad =
        ErrorAnswer("400 Bad Request", "", "Bad request: ask for GET /stream or GET /service/N.\n");
    const std::vector<std::pair<std::string, std::string>> rows{
        {"GET / HTTP/1.1\r\n\r\n", notFound},
        {"GET /streams HTTP/1.1\r\n\r\n", notFound},
        {"GET /service/0 HTTP/1.1\r\n\r\n", notFound},
        {"GET /service/65536 HTTP/1.1\r\n\r\n", notFound},
        {"GET /service/12a HTTP/1.1\r\n\r\n", notFound},
        {"GET /nothing HTTP/1.0\n\n", notFound},
        {"POST /stream HTTP/1.1\r\nContent-Length: 0\r\n\r\n", notAllowed},
        {"HEAD /stream HTTP/1.1\r\n\r\n", notAllowed},
        {"hello\r\n\r\n", bad},
        {"GET /stream HTTP/2.0\r\n\r\n", bad},
        {"GET  /stream HTTP/1.1\r\n\r\n", bad},
        {"get /stream HTTP/1.1\r\n\r\n", bad},
        {"GET /stream HTTP/1.1\r\nX-Long: " + std::string(9000, 'x'), bad},
    };
    CHttpStreamServer server;
    std::string error;
    ASSERT_TRUE(server.Start(0, false, &error)) << error;
    for (const auto& [request, answer] : rows) {
        CTcpClient client(server.Port());
        ASSERT_TRUE(client.Send(request)) << request;
        std::string received;
        EXPECT_TRUE(client.ReadToEnd(&received)) << request.substr(0, 40);
        EXPECT_EQ(received, answer) << request.substr(0, 40);
    }
    EXPECT_EQ(server.ClientsServed(), 0u);
    EXPECT_EQ(server.ClientsNow(), 0u);
}

// An IPv4 address of this machine other than loopback; empty when it has none.
std::string OtherAddress() {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return {};
    std::string found;
    for (const ifaddrs* entry = list; entry != nullptr && found.empty(); entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        if (ntohl(address->sin_addr.s_addr) >> 24 == 127) continue;
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &address->sin_addr, text, sizeof text);
        found = text;
    }
    ::freeifaddrs(list);
    return found;
}

TEST(HttpStreamServerTest, ListensOnLoopbackUnlessOpenedAndSaysWhenThePortIsTaken) {
    CHttpStreamServer local;
    std::string error;
    ASSERT_TRUE(local.Start(0, false, &error)) << error;
    const std::string port = std::to_string(local.Port());
    EXPECT_EQ(local.BaseUrl(), "http://127.0.0.1:" + port);

    CHttpStreamServer again;
    EXPECT_FALSE(again.Start(local.Port(), false, &error));
    EXPECT_EQ(error, "Port " + port + " is in use");
    EXPECT_FALSE(again.IsRunning());

    const std::string other = OtherAddress();
    if (other.empty()) GTEST_SKIP() << "no address but loopback to try from";
    EXPECT_FALSE(CTcpClient(local.Port(), 0, other.c_str()).Connected())
        << "reachable through " << other;

    CHttpStreamServer open;
    ASSERT_TRUE(open.Start(0, true, &error)) << error;
    EXPECT_EQ(open.BaseUrl(), "http://0.0.0.0:" + std::to_string(open.Port()));
    CTcpClient remote(open.Port(), 0, other.c_str());
    ASSERT_TRUE(remote.Connected()) << other;
    ASSERT_TRUE(remote.Send("GET /stream HTTP/1.1\r\n\r\n"));
    EXPECT_EQ(remote.ReadUntil(kStreamHead.size()), kStreamHead);
}

}  // namespace
