#pragma once
// The 12-byte RTP fixed header (RFC 3550 section 5.1) that carries MPEG-2 transport stream
// packets (payload type 33, RFC 3551; RFC 2250 section 2): version 2, no padding, no extension,
// no contributing sources. Pure byte building and reading, for the sender and its tests.
#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>

struct RtpHeader {
    static constexpr std::size_t kSize = 12;
    static constexpr std::uint8_t kVersion = 2;
    static constexpr std::uint8_t kPayloadTypeMp2t = 33;
    static constexpr std::uint32_t kClockRate = 90000;  // MP2T timestamps count a 90 kHz clock

    std::uint8_t payloadType = kPayloadTypeMp2t;
    bool marker = false;
    std::uint16_t sequence = 0;
    std::uint32_t timestamp = 0;
    std::uint32_t ssrc = 0;
};

std::array<std::uint8_t, RtpHeader::kSize> WriteRtpHeader(const RtpHeader& header);
// The header at the start of `datagram`; nullopt when it is shorter than 12 bytes or not of
// version 2.
std::optional<RtpHeader> ReadRtpHeader(std::span<const std::uint8_t> datagram);
// A 90 kHz timestamp of `elapsed` since a start, wrapping as RTP timestamps do.
std::uint32_t RtpTimestamp(std::chrono::steady_clock::duration elapsed);
