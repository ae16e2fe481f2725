#pragma once
// PSI/SI sections: reassembly from the transport packets of one PID (sections may span packets,
// several may share one), the CRC32 check, and decoders for the PAT and the SDT. Pure: no I/O,
// usable without any filter (a fuzz target feeds it).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct PatProgram {
    std::uint16_t programNumber = 0;  // 0: the entry names the network PID
    std::uint16_t pid = 0;            // the PMT's PID (or the NIT's for program 0)
    friend bool operator==(const PatProgram&, const PatProgram&) = default;
};

struct PatTable {
    std::uint16_t transportStreamId = 0;
    std::uint8_t version = 0;
    bool currentNext = false;
    std::uint8_t sectionNumber = 0;
    std::uint8_t lastSectionNumber = 0;
    std::vector<PatProgram> programs;
};

struct SdtService {
    std::uint16_t serviceId = 0;
    std::uint8_t serviceType = 0;  // from the service descriptor; 0 without one
    std::string name;              // UTF-8 (DecodeDvbText)
    std::string provider;          // UTF-8
    bool freeCaMode = false;       // one or more of its streams are controlled by a CA system
    friend bool operator==(const SdtService&, const SdtService&) = default;
};

struct SdtTable {
    std::uint8_t tableId = 0;  // 0x42 actual transport stream, 0x46 other
    std::uint16_t transportStreamId = 0;
    std::uint16_t originalNetworkId = 0;
    std::uint8_t version = 0;
    std::uint8_t sectionNumber = 0;
    std::uint8_t lastSectionNumber = 0;
    std::vector<SdtService> services;
};

class CPsiSectionParser {
public:
    static constexpr std::size_t kMaxSectionSize = 4096;

    // Receives each complete section (header to CRC, unchecked); valid during the call only.
    class ISectionHandler {
    public:
        virtual void OnSection(std::span<const std::uint8_t> section) = 0;

    protected:
        ~ISectionHandler() = default;
    };

    CPsiSectionParser();

    // One 188-byte packet of the PID this parser follows. A lost packet (continuity gap) drops
    // the section under way; a repeated one is ignored.
    void PushPacket(const std::uint8_t* packet, ISectionHandler* handler);
    void Reset();

    // A long-form section whose CRC32 (Mpeg2Crc32), computed over all of it, is 0.
    static bool CheckCrc(std::span<const std::uint8_t> section);
    // The section must be exactly one section (3 + section_length bytes) with a valid CRC.
    static std::optional<PatTable> DecodePat(std::span<const std::uint8_t> section);
    static std::optional<SdtTable> DecodeSdt(std::span<const std::uint8_t> section);

private:
    void Append(const std::uint8_t* data, std::size_t size);
    void Extract(ISectionHandler* handler);
    void Drop();

    std::vector<std::uint8_t> m_buffer;
    bool m_bCollecting = false;
    int m_nLastCc = -1;
};
