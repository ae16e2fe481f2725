#pragma once
// Where the datagram output goes: "udp://HOST:PORT" or "rtp://HOST:PORT", with the optional query
// "?ttl=N&interface=NAME_OR_ADDRESS" for multicast. HOST is a name, an IPv4 address or an IPv6
// address in brackets ("[ff15::1]"). Parsing only: the name is resolved when the sender opens.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum class NetworkScheme { Udp, Rtp };

struct NetworkAddress {
    NetworkScheme scheme = NetworkScheme::Udp;
    std::string host;  // as written, without the brackets of an IPv6 address
    std::uint16_t port = 0;
    std::optional<int> ttl;  // multicast time to live, 1..255; the system's (1) when absent
    std::string interface;   // multicast interface: a name ("eth0") or an address; empty: any
};

// True when `text` starts as a network address ("udp://", "rtp://"), so a command line can tell
// it from a file name before parsing it.
bool LooksLikeNetworkAddress(std::string_view text);

// The address `text` names, or nullopt with the user's text in `error`, e.g.
// "Not a network address: udp:/x (write udp://HOST:PORT or rtp://HOST:PORT)".
std::optional<NetworkAddress> ParseNetworkAddress(std::string_view text, std::string* error);

// A port as written, 1..65535 in decimal digits alone; nullopt for anything else.
std::optional<std::uint16_t> ParsePort(std::string_view text);

// The address written back the way ParseNetworkAddress reads it ("rtp://239.1.1.1:5004?ttl=4").
std::string FormatNetworkAddress(const NetworkAddress& address);
