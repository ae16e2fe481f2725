#include "network/network_address.h"

#include <cctype>
#include <charconv>

namespace {

constexpr std::string_view kUdp = "udp://";
constexpr std::string_view kRtp = "rtp://";
constexpr std::string_view kHowTo = " (write udp://HOST:PORT or rtp://HOST:PORT)";

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    }
    return true;
}

// A whole decimal number in [low, high]; nullopt for anything else ("+1", "1x", "").
std::optional<int> Number(std::string_view text, int low, int high) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < low || value > high)
        return std::nullopt;
    return value;
}

}  // namespace

std::optional<std::uint16_t> ParsePort(std::string_view text) {
    const std::optional<int> number = Number(text, 1, 65535);
    if (!number) return std::nullopt;
    return static_cast<std::uint16_t>(*number);
}

bool LooksLikeNetworkAddress(std::string_view text) {
    return StartsWithNoCase(text, kUdp) || StartsWithNoCase(text, kRtp);
}

std::optional<NetworkAddress> ParseNetworkAddress(std::string_view text, std::string* error) {
    const std::string written(text);
    const auto fail = [&](std::string why) -> std::optional<NetworkAddress> {
        if (error != nullptr) *error = std::move(why);
        return std::nullopt;
    };
    NetworkAddress address;
    if (StartsWithNoCase(text, kUdp)) {
        address.scheme = NetworkScheme::Udp;
    } else if (StartsWithNoCase(text, kRtp)) {
        address.scheme = NetworkScheme::Rtp;
    } else {
        return fail("Not a network address: " + written + std::string(kHowTo));
    }
    std::string_view rest = text.substr(kUdp.size());
    std::string_view query;
    if (const std::size_t mark = rest.find('?'); mark != std::string_view::npos) {
        query = rest.substr(mark + 1);
        rest = rest.substr(0, mark);
    }

    std::string_view host;
    std::string_view port;
    if (rest.starts_with('[')) {
        // An IPv6 address keeps its colons inside brackets.
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos)
            return fail("Not a network address: " + written + std::string(kHowTo));
        host = rest.substr(1, close - 1);
        rest = rest.substr(close + 1);
        if (!rest.starts_with(':')) return fail("No port in " + written + std::string(kHowTo));
        port = rest.substr(1);
    } else {
        const std::size_t colon = rest.rfind(':');
        if (colon == std::string_view::npos)
            return fail("No port in " + written + std::string(kHowTo));
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (host.find(':') != std::string_view::npos)
            return fail("Write an IPv6 address in brackets: " + written +
                        " (udp://[ADDRESS]:PORT)");
    }
    if (host.empty()) return fail("No host in " + written + std::string(kHowTo));
    for (const char c : host) {
        if (std::isspace(static_cast<unsigned char>(c)) != 0 || c == '/' || c == '@')
            return fail("Not a host name: '" + std::string(host) + "' in " + written);
    }
    const std::optional<std::uint16_t> number = ParsePort(port);
    if (!number)
        return fail("Not a port in " + written + ": '" + std::string(port) + "' (1 to 65535)");
    address.host = std::string(host);
    address.port = *number;

    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        const std::size_t equals = pair.find('=');
        const std::string_view key = pair.substr(0, equals);
        const std::string_view value =
            equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1);
        if (key == "ttl") {
            const std::optional<int> ttl = Number(value, 1, 255);
            if (!ttl)
                return fail("Not a TTL in " + written + ": '" + std::string(value) +
                            "' (1 to 255)");
            address.ttl = *ttl;
        } else if (key == "interface") {
            if (value.empty()) return fail("No interface named in " + written);
            address.interface = std::string(value);
        } else {
            return fail("Unknown option in " + written + ": '" + std::string(key) +
                        "' (ttl=N or interface=NAME)");
        }
    }
    return address;
}

std::string FormatNetworkAddress(const NetworkAddress& address) {
    std::string text = address.scheme == NetworkScheme::Rtp ? "rtp://" : "udp://";
    const bool ipv6 = address.host.find(':') != std::string::npos;
    text += ipv6 ? "[" + address.host + "]" : address.host;
    text += ":" + std::to_string(address.port);
    char separator = '?';
    if (address.ttl) {
        text += separator + std::string("ttl=") + std::to_string(*address.ttl);
        separator = '&';
    }
    if (!address.interface.empty())
        text += separator + std::string("interface=") + address.interface;
    return text;
}
