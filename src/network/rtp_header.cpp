#include "network/rtp_header.h"

std::array<std::uint8_t, RtpHeader::kSize> WriteRtpHeader(const RtpHeader& header) {
    std::array<std::uint8_t, RtpHeader::kSize> bytes{};
    bytes[0] = RtpHeader::kVersion << 6;  // V=2, P=0, X=0, CC=0
    bytes[1] =
        static_cast<std::uint8_t>((header.marker ? 0x80 : 0x00) | (header.payloadType & 0x7F));
    bytes[2] = static_cast<std::uint8_t>(header.sequence >> 8);  // network byte order throughout
    bytes[3] = static_cast<std::uint8_t>(header.sequence);
    for (int i = 0; i < 4; ++i) {
        const int shift = 24 - 8 * i;
        bytes[4 + i] = static_cast<std::uint8_t>(header.timestamp >> shift);
        bytes[8 + i] = static_cast<std::uint8_t>(header.ssrc >> shift);
    }
    return bytes;
}

std::optional<RtpHeader> ReadRtpHeader(std::span<const std::uint8_t> datagram) {
    if (datagram.size() < RtpHeader::kSize || (datagram[0] >> 6) != RtpHeader::kVersion)
        return std::nullopt;
    RtpHeader header;
    header.marker = (datagram[1] & 0x80) != 0;
    header.payloadType = datagram[1] & 0x7F;
    header.sequence = static_cast<std::uint16_t>(datagram[2] << 8 | datagram[3]);
    for (int i = 0; i < 4; ++i) {
        header.timestamp = header.timestamp << 8 | datagram[4 + i];
        header.ssrc = header.ssrc << 8 | datagram[8 + i];
    }
    return header;
}

std::uint32_t RtpTimestamp(std::chrono::steady_clock::duration elapsed) {
    using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, RtpHeader::kClockRate>>;
    // Modulo 2^32: a receiver follows the wrap as RFC 3550 asks.
    return static_cast<std::uint32_t>(std::chrono::duration_cast<Ticks>(elapsed).count());
}
