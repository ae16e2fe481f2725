#pragma once
// A small transport-stream reader for the tests, written apart from the generator: checks sync,
// continuity and adaptation fields, reassembles PSI/SI sections (CRC checked by Mpeg2Crc32, whose
// own test holds it to known values) and notes PCRs and PES headers, all with the index of the
// packet they came in.
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

struct ReadPcr {
    std::uint16_t pid;
    std::uint64_t packet;
    std::uint64_t value;  // 27 MHz
};

struct ReadSection {
    std::uint16_t pid;
    std::uint64_t packet;  // packet where the section began
    std::vector<std::uint8_t> bytes;
    bool crcOk;
};

struct ReadPes {
    std::uint16_t pid;
    std::uint64_t packet;
    std::uint8_t streamId;
    std::uint16_t length;  // PES_packet_length
    std::optional<std::uint64_t> pts;
    bool randomAccess = false;   // the packet's random_access_indicator
    bool opensSequence = false;  // the payload begins with a video sequence header
};

class CTsPacketReader {
public:
    // PIDs whose payload is read as sections; PMT PIDs are added as the PAT names them.
    CTsPacketReader();
    void Read(const std::uint8_t* data, std::size_t packetCount);

    // Faults found, one line each ("packet 12 PID 0x101: CC 3 after 1").
    const std::vector<std::string>& Errors() const { return m_errors; }
    const std::map<std::uint16_t, std::uint64_t>& PacketsPerPid() const { return m_packetsPerPid; }
    const std::vector<ReadPcr>& Pcrs() const { return m_pcrs; }
    const std::vector<ReadSection>& Sections() const { return m_sections; }
    const std::vector<ReadPes>& PesHeaders() const { return m_pes; }
    std::uint64_t PacketCount() const { return m_nPacket; }

private:
    struct PidState {
        std::optional<std::uint8_t> lastCc;
        std::vector<std::uint8_t> section;  // section being collected
        std::uint64_t sectionPacket = 0;
        bool collecting = false;
        std::size_t pesBytes = 0;     // bytes of the current PES seen so far
        std::size_t pesExpected = 0;  // 0: unbounded
    };

    void ReadPacket(const std::uint8_t* packet);
    void ReadPesBytes(std::uint16_t pid, PidState& state, const std::uint8_t* data,
                      std::size_t size, bool start, bool randomAccess);
    void ReadSectionBytes(std::uint16_t pid, PidState& state, const std::uint8_t* data,
                          std::size_t size, bool start);
    std::size_t Collect(std::uint16_t pid, PidState& state, const std::uint8_t* data,
                        std::size_t size);
    void Error(std::uint16_t pid, const std::string& what);

    std::uint64_t m_nPacket = 0;
    std::vector<std::string> m_errors;
    std::map<std::uint16_t, std::uint64_t> m_packetsPerPid;
    std::vector<ReadPcr> m_pcrs;
    std::vector<ReadSection> m_sections;
    std::vector<ReadPes> m_pes;
    std::set<std::uint16_t> m_sectionPids;
    std::map<std::uint16_t, PidState> m_pids;
};

struct DecodedPat {
    std::uint16_t transportStreamId = 0;
    std::map<std::uint16_t, std::uint16_t> programs;  // program_number -> PID
};
struct DecodedPmt {
    std::uint16_t programNumber = 0;
    std::uint16_t pcrPid = 0;
    std::vector<std::pair<std::uint8_t, std::uint16_t>> streams;  // stream_type, PID
};
struct DecodedSdtService {
    std::uint16_t serviceId = 0;
    std::uint8_t runningStatus = 0;
    std::uint8_t serviceType = 0;
    std::string provider;  // raw DVB text bytes, selector included
    std::string name;
};
struct DecodedSdt {
    std::uint16_t transportStreamId = 0;
    std::uint16_t originalNetworkId = 0;
    std::uint8_t sectionNumber = 0;
    std::uint8_t lastSectionNumber = 0;
    std::vector<DecodedSdtService> services;
};
struct DecodedNit {
    std::uint16_t networkId = 0;
    std::string networkName;
    std::uint16_t transportStreamId = 0;
    std::uint16_t originalNetworkId = 0;
    std::vector<std::pair<std::uint16_t, std::uint8_t>> serviceList;  // service_id, type
};

// Each returns nullopt when the bytes are not a well-formed section of that table.
std::optional<DecodedPat> DecodePat(const std::vector<std::uint8_t>& section);
std::optional<DecodedPmt> DecodePmt(const std::vector<std::uint8_t>& section);
std::optional<DecodedSdt> DecodeSdt(const std::vector<std::uint8_t>& section);
std::optional<DecodedNit> DecodeNit(const std::vector<std::uint8_t>& section);
