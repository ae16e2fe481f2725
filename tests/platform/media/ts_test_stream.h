#pragma once
// Builds transport-stream bytes for tests: packets with running continuity counters, PSI
// sections with their CRC32, and sections cut into packets.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/media/psi_section_parser.h"

class CTsTestStream {
public:
    using Bytes = std::vector<std::uint8_t>;

    // One payload-only packet of `pid` with the PID's next continuity counter; the payload is
    // padded with 0xFF to 184 bytes.
    Bytes Packet(std::uint16_t pid, std::span<const std::uint8_t> payload = {},
                 bool unitStart = false);
    // The packets that carry `section` on `pid`: pointer field 0 in the first one.
    Bytes SectionPackets(std::uint16_t pid, std::span<const std::uint8_t> section);
    // A run of `count` payload packets of `pid`, each filled with its sequence number.
    Bytes Packets(std::uint16_t pid, int count);

    // A long-form section: header, `body`, CRC32.
    static Bytes LongSection(std::uint8_t tableId, std::uint16_t extension, std::uint8_t version,
                             const Bytes& body, std::uint8_t sectionNumber = 0,
                             std::uint8_t lastSectionNumber = 0);
    static Bytes PatSection(std::uint16_t tsid, const std::vector<PatProgram>& programs,
                            std::uint8_t version = 0);
    // Services with a service descriptor (type, provider, name) each; names as raw bytes.
    static Bytes SdtSection(std::uint16_t tsid, std::uint16_t onid,
                            const std::vector<SdtService>& services, std::uint8_t tableId = 0x42);

private:
    std::array<std::uint8_t, 0x2000> m_cc{};
};

// Appends `more` to `out`.
void AppendBytes(CTsTestStream::Bytes& out, const CTsTestStream::Bytes& more);
