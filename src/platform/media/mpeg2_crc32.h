#pragma once
// The CRC32 of MPEG-2 sections (polynomial 0x04C11DB7, most significant bit first, initial value
// all ones, no reflection, no final inversion): the one the stream generator writes and the
// section readers check. Over a whole section with its CRC the result is 0.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

inline std::uint32_t Mpeg2Crc32(std::span<const std::uint8_t> data) {
    static constexpr std::array<std::uint32_t, 256> kTable = [] {
        std::array<std::uint32_t, 256> table{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t crc = i << 24;
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc & 0x80000000u) != 0 ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
            table[i] = crc;
        }
        return table;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const std::uint8_t byte : data) crc = (crc << 8) ^ kTable[((crc >> 24) ^ byte) & 0xFF];
    return crc;
}

// Closes a section: its CRC32, most significant byte first.
inline void AppendMpeg2Crc32(std::vector<std::uint8_t>& section) {
    const std::uint32_t crc = Mpeg2Crc32(section);
    for (int shift = 24; shift >= 0; shift -= 8)
        section.push_back(static_cast<std::uint8_t>(crc >> shift));
}
