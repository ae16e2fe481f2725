#pragma once
// Transport-stream bytes written by hand for the services tests: long-form sections with their
// CRC32, and sections laid into packets back to back, as a multiplexer does (a section may
// start in the middle of a packet, behind the pointer field, and run on over several packets).
#include <array>
#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// A long-form section: table_id, extension, version (current), numbers, `body`, CRC32.
Bytes Section(std::uint8_t tableId, std::uint16_t extension, std::uint8_t version,
              const Bytes& body, std::uint8_t number = 0, std::uint8_t last = 0);
Bytes Descriptor(std::uint8_t tag, const Bytes& body);
Bytes Text(const std::string& bytes);
void Append(Bytes& out, const Bytes& more);

class CTsBuilder {
public:
    // The sections on `pid`, back to back, in as few packets as they fit; stuffing ends the last.
    Bytes Sections(std::uint16_t pid, const std::vector<Bytes>& sections);
    // One payload packet of `pid` (bytes 0xA5), scrambling control bits as given.
    Bytes Payload(std::uint16_t pid, std::uint8_t scrambling = 0);

private:
    std::uint8_t NextCc(std::uint16_t pid) { return m_cc[pid]++ & 0x0F; }
    std::array<std::uint8_t, 0x2000> m_cc{};
};
