#include "pages/transponders/network_texts.h"

#include <fmt/format.h>

#include "network/network_address.h"

namespace network_texts {

namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

}  // namespace

std::string DatagramAddress(bool rtp, std::string_view host, std::string_view port,
                            std::string_view ttl, std::string_view interfaceName) {
    host = Trimmed(host);
    ttl = Trimmed(ttl);
    interfaceName = Trimmed(interfaceName);
    const bool ipv6 = host.find(':') != std::string_view::npos && !host.starts_with('[');
    std::string text = fmt::format("{}://{}{}{}:{}", rtp ? "rtp" : "udp", ipv6 ? "[" : "", host,
                                   ipv6 ? "]" : "", Trimmed(port));
    if (!ttl.empty()) text += fmt::format("?ttl={}", ttl);
    if (!interfaceName.empty())
        text += fmt::format("{}interface={}", ttl.empty() ? '?' : '&', interfaceName);
    return text;
}

std::string DatagramCounts(std::uint64_t sent, std::uint64_t dropped) {
    return fmt::format("{} datagram{} sent, {} dropped", sent, sent == 1 ? "" : "s", dropped);
}

std::string HttpCounts(std::size_t now, std::uint64_t served, std::uint64_t dropped) {
    return fmt::format("{} client{} now, {} served, {} dropped (too slow)", now,
                       now == 1 ? "" : "s", served, dropped);
}

std::string HttpStreamUrl(std::string_view baseUrl, std::optional<std::uint16_t> service) {
    if (service) return fmt::format("{}/service/{}", baseUrl, *service);
    return fmt::format("{}/stream", baseUrl);
}

std::optional<std::uint16_t> Port(std::string_view text) {
    return ParsePort(Trimmed(text));
}

}  // namespace network_texts
