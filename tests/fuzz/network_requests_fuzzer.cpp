// What a stranger may send the network outputs: the request head an HTTP client writes to the
// stream server, and the address a user types for the datagram output. The input's first line
// is taken as an address, the rest as what a client sent. A head is found only where a blank
// line ends it; a request is one of the four answers, with a service only when it is served; an
// address that reads is written back and read again to the same address.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "network/http_stream_request.h"
#include "network/network_address.h"

namespace {

bool SameAddress(const NetworkAddress& a, const NetworkAddress& b) {
    return a.scheme == b.scheme && a.host == b.host && a.port == b.port && a.ttl == b.ttl &&
           a.interface == b.interface;
}

void CheckAddress(std::string_view text) {
    std::string error;
    const auto address = ParseNetworkAddress(text, &error);
    if (!address) {
        FUZZ_CHECK(!error.empty());
        return;
    }
    FUZZ_CHECK(address->port >= 1 && !address->host.empty());
    FUZZ_CHECK(!address->ttl || (*address->ttl >= 1 && *address->ttl <= 255));
    const std::string written = FormatNetworkAddress(*address);
    const auto again = ParseNetworkAddress(written, &error);
    FUZZ_CHECK(again && SameAddress(*again, *address));
}

void CheckRequest(std::string_view received) {
    const std::size_t end = HttpHeadEnd(received);
    if (end == std::string_view::npos) return;
    FUZZ_CHECK(end <= received.size());
    const std::string_view head = received.substr(0, end);
    FUZZ_CHECK(head.ends_with("\n\n") || head.ends_with("\r\n\r\n"));
    const HttpStreamRequest request = ParseHttpStreamRequest(head);
    FUZZ_CHECK(request.status == 200 || request.status == 400 || request.status == 404 ||
               request.status == 405);
    FUZZ_CHECK(!request.service || (request.status == 200 && *request.service >= 1));
    if (request.status == 200) FUZZ_CHECK(head.starts_with("GET /"));
    const std::string answer = HttpAnswerHead(request.status);
    FUZZ_CHECK(answer.starts_with("HTTP/1.1 " + std::to_string(request.status) + " "));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::size_t newline = text.find('\n');
    CheckAddress(text.substr(0, newline));
    if (newline != std::string_view::npos) CheckRequest(text.substr(newline + 1));
    return 0;
}
