#include "network/datagram_sender.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>

#include "loopback.h"
#include "network/network_address.h"
#include "network/rtp_header.h"
#include "services/psi_tables.h"
#include "services/service_pid_filter.h"

namespace {

constexpr std::size_t kPacket = 188;

std::uint16_t PidOf(const std::uint8_t* packet) {
    return static_cast<std::uint16_t>(((packet[1] & 0x1F) << 8) | packet[2]);
}

struct SenderRow {
    const char* name;
    NetworkScheme scheme;
    bool oneService;
    std::size_t packets;  // of the stream fed
};

// A failing row names itself, not its bytes.
void PrintTo(const SenderRow& row, std::ostream* out) {
    *out << row.name;
}

class DatagramSenderTest : public testing::TestWithParam<SenderRow> {};

// The stream is fed in uneven calls (a prime number of packets, then a single one, ...), so
// packets wait for the next call to fill a datagram.
const std::vector<std::size_t> kCallSizes{13, 1, 7, 29, 2, 50, 3};

TEST_P(DatagramSenderTest, DatagramsCarrySevenWholePacketsInOrderAndTheTailOnStop) {
    const SenderRow& row = GetParam();
    const std::uint16_t service = loopback::SimulatedService();
    const Bytes input = row.oneService ? loopback::SimulatedStream(row.packets)
                                       : loopback::NumberedPackets(0, row.packets);
    loopback::CUdpReceiver receiver;
    CDatagramSender sender;
    CDatagramSender::Options options;
    options.address.scheme = row.scheme;
    options.address.host = "127.0.0.1";
    options.address.port = receiver.Port();
    if (row.oneService) options.service = service;
    std::string error;
    ASSERT_TRUE(sender.Open(options, &error)) << error;
    EXPECT_EQ(sender.Destination(), "127.0.0.1:" + std::to_string(receiver.Port()));

    // What must arrive: the stream, or the service as the player feed cuts it from the same calls.
    Bytes expected;
    std::optional<CServicePidFilter> reference;
    if (row.oneService) reference.emplace(service);
    std::vector<Bytes> datagrams;
    std::size_t at = 0;
    for (std::size_t call = 0; at < input.size(); ++call) {
        const std::size_t size =
            std::min(kCallSizes[call % kCallSizes.size()] * kPacket, input.size() - at);
        const std::span<const std::uint8_t> piece(input.data() + at, size);
        sender.OnPackets(piece);
        if (reference) {
            reference->Filter(piece, expected);
        } else {
            expected.insert(expected.end(), piece.begin(), piece.end());
        }
        at += size;
        // Loopback delivers within sendto: read before the receiver's buffer fills.
        for (Bytes& datagram : receiver.TakeWaiting()) datagrams.push_back(std::move(datagram));
    }
    sender.Stop();
    for (Bytes& datagram : receiver.TakeWaiting()) datagrams.push_back(std::move(datagram));

    ASSERT_GT(expected.size(), CDatagramSender::kPayloadSize) << "the row sends too little";
    ASSERT_NE(expected.size() % CDatagramSender::kPayloadSize, 0u) << "the row leaves no tail";
    const std::size_t header = row.scheme == NetworkScheme::Rtp ? RtpHeader::kSize : 0;
    Bytes received;
    std::optional<RtpHeader> first;
    std::optional<RtpHeader> previous;
    for (std::size_t i = 0; i < datagrams.size(); ++i) {
        const Bytes& datagram = datagrams[i];
        ASSERT_GT(datagram.size(), header);
        const std::size_t payload = datagram.size() - header;
        if (i + 1 < datagrams.size()) {
            EXPECT_EQ(payload, CDatagramSender::kPayloadSize) << "datagram " << i;
        } else {
            EXPECT_EQ(payload, expected.size() % CDatagramSender::kPayloadSize) << "the tail";
        }
        for (std::size_t p = header; p < datagram.size(); p += kPacket)
            ASSERT_EQ(datagram[p], 0x47) << "datagram " << i << " holds whole packets";
        received.insert(received.end(), datagram.begin() + static_cast<std::ptrdiff_t>(header),
                        datagram.end());
        if (header == 0) continue;
        const std::optional<RtpHeader> rtp = ReadRtpHeader(datagram);
        ASSERT_TRUE(rtp) << "datagram " << i;
        EXPECT_EQ(datagram[0], 0x80) << "version 2, no padding, extension or CSRC";
        EXPECT_EQ(rtp->payloadType, RtpHeader::kPayloadTypeMp2t);
        EXPECT_FALSE(rtp->marker);
        if (!first) first = rtp;
        EXPECT_EQ(rtp->ssrc, first->ssrc) << "datagram " << i;
        if (previous) {
            EXPECT_EQ(rtp->sequence, static_cast<std::uint16_t>(previous->sequence + 1))
                << "datagram " << i;
            EXPECT_GE(static_cast<std::int32_t>(rtp->timestamp - previous->timestamp), 0)
                << "datagram " << i;
        }
        previous = rtp;
    }
    EXPECT_TRUE(received == expected)
        << "received " << received.size() << " bytes of " << expected.size();
    EXPECT_EQ(sender.SentDatagrams(), datagrams.size());
    EXPECT_EQ(sender.DroppedDatagrams(), 0u);
    EXPECT_EQ(sender.SentBytes(), expected.size());

    if (!row.oneService) return;
    // Only the service's PIDs; the PAT names the service alone.
    std::set<std::uint16_t> pids;
    std::size_t pats = 0;
    for (std::size_t p = 0; p < received.size(); p += kPacket) {
        const std::uint8_t* packet = &received[p];
        pids.insert(PidOf(packet));
        if (PidOf(packet) != 0) continue;
        ++pats;
        const std::size_t sectionSize = 3 + (((packet[6] & 0x0F) << 8) | packet[7]);
        const auto pat = services::DecodeCurrentPat({packet + 5, sectionSize});
        ASSERT_TRUE(pat);
        ASSERT_EQ(pat->programs.size(), 1u);
        EXPECT_EQ(pat->programs[0].programNumber, service);
    }
    EXPECT_GT(pats, 0u);
    for (const std::uint16_t pid : pids)
        EXPECT_TRUE(pid == 0 || reference->Passes(pid)) << "PID " << pid << " of another service";
}

INSTANTIATE_TEST_SUITE_P(
    Loopback, DatagramSenderTest,
    testing::Values(SenderRow{"UdpWholeStream", NetworkScheme::Udp, false, 1000},
                    SenderRow{"RtpWholeStream", NetworkScheme::Rtp, false, 1000},
                    SenderRow{"UdpOneService", NetworkScheme::Udp, true, 8000},
                    SenderRow{"RtpOneService", NetworkScheme::Rtp, true, 8000}),
    [](const testing::TestParamInfo<SenderRow>& row) { return std::string(row.param.name); });

struct OpenRow {
    const char* name;
    const char* address;
    const char* error;  // empty: it opens
};

TEST(DatagramSenderOpenTest, OpensWithItsMulticastSettingsOrSaysWhatIsWrong) {
    const std::vector<OpenRow> rows{
        {"ByName", "udp://localhost:5004", ""},
        {"MulticastTtlAndInterfaceByAddress", "rtp://239.255.12.34:5004?ttl=4&interface=127.0.0.1",
         ""},
        {"MulticastInterfaceByName", "udp://239.255.12.34:5004?interface=lo", ""},
        {"UnknownInterface", "udp://239.255.12.34:5004?interface=nosuchif0",
         "Unknown network interface: nosuchif0"},
        {"UnknownInterfaceAddress", "udp://239.255.12.34:5004?interface=192.0.2.254",
         "Cannot send through 192.0.2.254: "},
    };
    for (const OpenRow& row : rows) {
        std::string error;
        const std::optional<NetworkAddress> address = ParseNetworkAddress(row.address, &error);
        ASSERT_TRUE(address) << row.name << ": " << error;
        CDatagramSender sender;
        CDatagramSender::Options options;
        options.address = *address;
        const bool opened = sender.Open(options, &error);
        EXPECT_EQ(opened, std::string(row.error).empty()) << row.name << ": " << error;
        if (!opened) {
            EXPECT_EQ(error.rfind(row.error, 0), 0u) << row.name << ": " << error;
        }
        EXPECT_EQ(sender.IsOpen(), opened) << row.name;
    }
    CDatagramSender sender;
    CDatagramSender::Options options;
    options.address.host = "127.0.0.1";
    std::string error;
    EXPECT_FALSE(sender.Open(options, &error));
    EXPECT_EQ(error, "Port 0 is no destination: udp://127.0.0.1:0");
}

struct AddressRow {
    const char* text;
    std::optional<NetworkAddress> address;
    const char* error;
};

NetworkAddress Address(NetworkScheme scheme, const char* host, std::uint16_t port,
                       std::optional<int> ttl = std::nullopt, const char* interface = "") {
    return NetworkAddress{scheme, host, port, ttl, interface};
}

TEST(NetworkAddressTest, ReadsUdpAndRtpAddressesWithTheirOptionsAndExplainsTheRest) {
    using enum NetworkScheme;
    const std::vector<AddressRow> rows{
        {"udp://127.0.0.1:1234", Address(Udp, "127.0.0.1", 1234), ""},
        {"rtp://239.1.2.3:5004?ttl=8", Address(Rtp, "239.1.2.3", 5004, 8), ""},
        {"UDP://tv.example:65535?interface=eth0&ttl=255",
         Address(Udp, "tv.example", 65535, 255, "eth0"), ""},
        {"rtp://[ff15::1]:5004?interface=192.0.2.2", Address(Rtp, "ff15::1", 5004, {}, "192.0.2.2"),
         ""},
        {"news.ts",
         {},
         "Not a network address: news.ts (write udp://HOST:PORT or rtp://HOST:PORT)"},
        {"http://h:80",
         {},
         "Not a network address: http://h:80 (write udp://HOST:PORT or rtp://HOST:PORT)"},
        {"udp://127.0.0.1",
         {},
         "No port in udp://127.0.0.1 (write udp://HOST:PORT or rtp://HOST:PORT)"},
        {"udp://:1234", {}, "No host in udp://:1234 (write udp://HOST:PORT or rtp://HOST:PORT)"},
        {"udp://h:0", {}, "Not a port in udp://h:0: '0' (1 to 65535)"},
        {"udp://h:65536", {}, "Not a port in udp://h:65536: '65536' (1 to 65535)"},
        {"udp://h:12ab", {}, "Not a port in udp://h:12ab: '12ab' (1 to 65535)"},
        {"udp://h:1234/", {}, "Not a port in udp://h:1234/: '1234/' (1 to 65535)"},
        {"udp://ff15::1:5004",
         {},
         "Write an IPv6 address in brackets: udp://ff15::1:5004 (udp://[ADDRESS]:PORT)"},
        {"udp://[ff15::1]5004",
         {},
         "No port in udp://[ff15::1]5004 (write udp://HOST:PORT or rtp://HOST:PORT)"},
        {"udp://a b:1", {}, "Not a host name: 'a b' in udp://a b:1"},
        {"rtp://h:5004?ttl=0", {}, "Not a TTL in rtp://h:5004?ttl=0: '0' (1 to 255)"},
        {"rtp://h:5004?ttl=256", {}, "Not a TTL in rtp://h:5004?ttl=256: '256' (1 to 255)"},
        {"rtp://h:5004?interface=", {}, "No interface named in rtp://h:5004?interface="},
        {"rtp://h:5004?tll=3",
         {},
         "Unknown option in rtp://h:5004?tll=3: 'tll' (ttl=N or interface=NAME)"},
    };
    for (const AddressRow& row : rows) {
        std::string error;
        const std::optional<NetworkAddress> address = ParseNetworkAddress(row.text, &error);
        // udp:// and rtp:// (any case) are addresses; "http://" and file names are not.
        EXPECT_EQ(LooksLikeNetworkAddress(row.text), std::string_view(row.text).find("://") == 3)
            << row.text;
        if (!row.address) {
            EXPECT_FALSE(address) << row.text;
            EXPECT_EQ(error, row.error) << row.text;
            continue;
        }
        ASSERT_TRUE(address) << row.text << ": " << error;
        EXPECT_EQ(address->scheme, row.address->scheme) << row.text;
        EXPECT_EQ(address->host, row.address->host) << row.text;
        EXPECT_EQ(address->port, row.address->port) << row.text;
        EXPECT_EQ(address->ttl, row.address->ttl) << row.text;
        EXPECT_EQ(address->interface, row.address->interface) << row.text;
        // Written back, it reads the same.
        const auto again = ParseNetworkAddress(FormatNetworkAddress(*address), &error);
        ASSERT_TRUE(again) << FormatNetworkAddress(*address);
        EXPECT_EQ(FormatNetworkAddress(*again), FormatNetworkAddress(*address));
    }
}

TEST(RtpHeaderTest, WritesTheFixedHeaderInNetworkOrderAndReadsItBack) {
    RtpHeader header;
    header.sequence = 0xBEEF;
    header.timestamp = 0x01020304;
    header.ssrc = 0xCAFEF00D;
    const auto bytes = WriteRtpHeader(header);
    const std::array<std::uint8_t, 12> expected{
        0x80,                    // V=2, no padding, no extension, no CSRC
        0x21,                    // no marker, payload type 33 (MP2T)
        0xBE, 0xEF,              // sequence number
        0x01, 0x02, 0x03, 0x04,  // timestamp
        0xCA, 0xFE, 0xF0, 0x0D,  // SSRC
    };
    EXPECT_EQ(bytes, expected);
    const std::optional<RtpHeader> back = ReadRtpHeader(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->sequence, header.sequence);
    EXPECT_EQ(back->timestamp, header.timestamp);
    EXPECT_EQ(back->ssrc, header.ssrc);
    EXPECT_EQ(back->payloadType, 33);
    EXPECT_FALSE(ReadRtpHeader(std::span(bytes).first(11))) << "short";
    std::array<std::uint8_t, 12> version1 = bytes;
    version1[0] = 0x40;
    EXPECT_FALSE(ReadRtpHeader(version1)) << "not version 2";
    EXPECT_EQ(RtpTimestamp(std::chrono::seconds(2)), 180'000u) << "a 90 kHz clock";
    EXPECT_EQ(RtpTimestamp(std::chrono::hours(14)),
              static_cast<std::uint32_t>(90'000ull * 3600 * 14))
        << "wraps at 2^32";
}

}  // namespace
