#pragma once
// The bytes the simulated demodulator hands to the capture filter, by output kind:
//
//   Transport      the transport stream of the carrier (or of the selected input stream)
//   TransportCrc8  a transport carrier received in generic-stream output: the BBFRAME data
//                  fields as they are, i.e. the same packets with the sync byte replaced by the
//                  CRC-8 of the previous packet (EN 302 307-1 clause 5.1.4, polynomial 0xD5 over
//                  the 187 bytes after the sync byte; the first packet carries 00)
//   GenericBytes   a generic continuous stream in generic-stream output: its user bytes
//                  (pseudo-random from the seed, as the card has no real payload for it)
#include <cstddef>
#include <cstdint>
#include <memory>

#include "drivers/sim/sim_stream_config.h"
#include "drivers/sim/ts_generator.h"

enum class SimOutput { None, Transport, TransportCrc8, GenericBytes };

class CSimStreamSource {
public:
    // The stream joined at packet `firstPacket` of the carrier (see CTsGenerator). Throws
    // std::invalid_argument when the configuration cannot be generated.
    CSimStreamSource(SimOutput output, const SimStreamConfig& config,
                     std::uint64_t firstPacket = 0);

    // Writes packetCount * 188 bytes.
    void Fill(std::uint8_t* destination, std::size_t packetCount);

    static std::uint8_t Crc8(const std::uint8_t* data, std::size_t size, std::uint8_t crc = 0);

private:
    const SimOutput m_output;
    std::unique_ptr<CTsGenerator> m_pGenerator;
    std::uint8_t m_nPreviousCrc = 0;
    std::uint64_t m_nState = 0;
};
