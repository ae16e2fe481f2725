#pragma once
// GUIDs with their registry text form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/com/hresult.h"

struct GUID {
    std::uint32_t Data1 = 0;
    std::uint16_t Data2 = 0;
    std::uint16_t Data3 = 0;
    std::array<std::uint8_t, 8> Data4{};

    friend constexpr bool operator==(const GUID&, const GUID&) = default;
    friend constexpr auto operator<=>(const GUID&, const GUID&) = default;
};

using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline constexpr GUID GUID_NULL{};

namespace com {

namespace detail {
constexpr int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
constexpr bool ReadHex(std::string_view text, std::size_t pos, std::size_t digits,
                       std::uint64_t& out) {
    out = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        const int v = HexValue(text[pos + i]);
        if (v < 0) return false;
        out = out * 16 + static_cast<std::uint64_t>(v);
    }
    return true;
}
}  // namespace detail

// Parses the braced text form, hex digits in either case; nullopt for anything else.
constexpr std::optional<GUID> ParseGuid(std::string_view text) {
    if (text.size() != 38 || text.front() != '{' || text.back() != '}' || text[9] != '-' ||
        text[14] != '-' || text[19] != '-' || text[24] != '-') {
        return std::nullopt;
    }
    GUID g;
    std::uint64_t v = 0;
    if (!detail::ReadHex(text, 1, 8, v)) return std::nullopt;
    g.Data1 = static_cast<std::uint32_t>(v);
    if (!detail::ReadHex(text, 10, 4, v)) return std::nullopt;
    g.Data2 = static_cast<std::uint16_t>(v);
    if (!detail::ReadHex(text, 15, 4, v)) return std::nullopt;
    g.Data3 = static_cast<std::uint16_t>(v);
    constexpr std::size_t kBytePos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (std::size_t i = 0; i < 8; ++i) {
        if (!detail::ReadHex(text, kBytePos[i], 2, v)) return std::nullopt;
        g.Data4[i] = static_cast<std::uint8_t>(v);
    }
    return g;
}

// For identifiers written in the source: a malformed literal does not compile.
consteval GUID MakeGuid(const char (&text)[39]) {
    const auto g = ParseGuid(std::string_view(text, 38));
    if (!g) throw "malformed GUID literal";
    return *g;
}

// Upper-case braced text, as the registry and StringFromGUID2 write it.
std::string FormatGuid(const GUID& guid);

}  // namespace com

// Windows-style conversion from the wide text form; CO_E_CLASSSTRING for bad text.
HRESULT CLSIDFromString(std::wstring_view text, CLSID* clsid);
std::wstring StringFromGUID(const GUID& guid);
