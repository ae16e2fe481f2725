#pragma once
// The texts of the "Stream to Network" window, without Qt: the datagram address its fields make,
// the live counts, and the address a player opens for the HTTP server.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace network_texts {

// "udp://HOST:PORT", "rtp://..." with "?ttl=N" and "&interface=NAME" when given, for the
// address parser to judge. An IPv6 address gets its brackets, typed or not; spaces around a
// field are the user's typing, not part of it.
std::string DatagramAddress(bool rtp, std::string_view host, std::string_view port,
                            std::string_view ttl, std::string_view interfaceName);
// "1234 datagrams sent, 0 dropped".
std::string DatagramCounts(std::uint64_t sent, std::uint64_t dropped);
// "2 clients now, 5 served, 1 dropped (too slow)".
std::string HttpCounts(std::size_t now, std::uint64_t served, std::uint64_t dropped);
// What a player opens: "http://127.0.0.1:8001/stream", or ".../service/28006" for one service.
std::string HttpStreamUrl(std::string_view baseUrl, std::optional<std::uint16_t> service);
// A port typed in its box: 1..65535, none for anything else.
std::optional<std::uint16_t> Port(std::string_view text);

}  // namespace network_texts
