#pragma once
// The transport information filter (CLSID_TransportInformationFilter): the end of the demux's
// PSI branch. Its input pin "Input" takes the transport stream the demux offers; it counts
// packets per PID, and reads the PAT (programs and their PMT PIDs) and the SDT of the actual
// transport stream (service names and providers), both checked by their CRC32. The findings are
// there for tests and diagnostics through Services(), Programs() and Counters().
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/media/base_filter.h"
#include "platform/media/crit_sec.h"
#include "platform/media/psi_section_parser.h"
#include "platform/media/ts_packet_parser.h"

class CTransportInfoInputPin;

class CTransportInfoFilter : public CBaseFilter,
                             private CTsPacketParser::IPacketHandler,
                             private CPsiSectionParser::ISectionHandler {
public:
    explicit CTransportInfoFilter(IUnknown* pOuter = nullptr);
    ~CTransportInfoFilter() override;

    int GetPinCount() override;
    CBasePin* GetPin(int n) override;

    // From any thread. Services of the actual transport stream by service id; they are forgotten
    // when an SDT of another transport stream id arrives.
    std::vector<SdtService> Services() const;
    // Programs of the last PAT (program 0, the network PID, included), by program number.
    std::vector<PatProgram> Programs() const;
    TransportCounters Counters() const;
    // Sections refused because their CRC32 or their layout was wrong.
    std::uint64_t BadSections() const;

    // For the pin, on the streaming thread.
    HRESULT ProcessSample(IMediaSample* sample);
    void ResetStream();

private:
    void OnPacket(const std::uint8_t* packet, std::uint16_t pid) override;
    void OnSection(std::span<const std::uint8_t> section) override;

    CCritSec m_lock;
    std::unique_ptr<CTransportInfoInputPin> m_pInput;

    mutable std::mutex m_receiveLock;  // guards everything below
    CTsPacketParser m_parser;
    CPsiSectionParser m_patParser;
    CPsiSectionParser m_sdtParser;
    int m_nPatTsid = -1;
    int m_nPatVersion = -1;
    std::map<std::uint16_t, PatProgram> m_programs;
    int m_nSdtTsid = -1;
    std::map<std::uint16_t, SdtService> m_services;
    std::uint64_t m_nBadSections = 0;
};
