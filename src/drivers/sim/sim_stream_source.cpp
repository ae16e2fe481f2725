#include "drivers/sim/sim_stream_source.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr std::array<std::uint8_t, 256> MakeCrc8Table() {
    std::array<std::uint8_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80) != 0 ? ((crc << 1) ^ 0xD5) & 0xFF : (crc << 1) & 0xFF;
        table[i] = static_cast<std::uint8_t>(crc);
    }
    return table;
}

constexpr std::array<std::uint8_t, 256> kCrc8Table = MakeCrc8Table();

}  // namespace

CSimStreamSource::CSimStreamSource(SimOutput output, const SimStreamConfig& config,
                                   std::uint64_t firstPacket)
    : m_output(output), m_nState((config.seed ^ (firstPacket * 0x9E3779B97F4A7C15ull)) | 1) {
    if (output == SimOutput::Transport || output == SimOutput::TransportCrc8) {
        m_pGenerator = std::make_unique<CTsGenerator>(config, firstPacket);
    }
}

std::uint8_t CSimStreamSource::Crc8(const std::uint8_t* data, std::size_t size, std::uint8_t crc) {
    for (std::size_t i = 0; i < size; ++i) crc = kCrc8Table[crc ^ data[i]];
    return crc;
}

void CSimStreamSource::Fill(std::uint8_t* destination, std::size_t packetCount) {
    constexpr std::size_t kPacket = CTsGenerator::kPacketSize;
    switch (m_output) {
        case SimOutput::Transport:
            m_pGenerator->Fill(destination, packetCount);
            return;
        case SimOutput::TransportCrc8:
            m_pGenerator->Fill(destination, packetCount);
            for (std::size_t i = 0; i < packetCount; ++i) {
                std::uint8_t* packet = destination + i * kPacket;
                const std::uint8_t crc = Crc8(packet + 1, kPacket - 1);
                packet[0] = m_nPreviousCrc;
                m_nPreviousCrc = crc;
            }
            return;
        case SimOutput::GenericBytes:
            for (std::size_t i = 0; i < packetCount * kPacket; i += 8) {
                // xorshift64*
                m_nState ^= m_nState >> 12;
                m_nState ^= m_nState << 25;
                m_nState ^= m_nState >> 27;
                const std::uint64_t word = m_nState * 0x2545F4914F6CDD1Dull;
                std::memcpy(destination + i, &word,
                            std::min<std::size_t>(8, packetCount * kPacket - i));
            }
            return;
        case SimOutput::None:
            std::memset(destination, 0, packetCount * kPacket);
            return;
    }
}
