#pragma once
// The services of the tuned transport stream, read from its PAT, PMTs and SDT actual as the
// packets pass. Fed on the tap's worker thread, read by the page from any thread; one mutex
// guards everything (a leaf: nothing is called while it is held).
//
// Tables are followed as they change: a new PAT version re-reads the PMTs it names, a new
// PMT or SDT version replaces the old one, sections with a bad CRC32 are counted and ignored.
#include <bitset>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "platform/media/psi_section_parser.h"
#include "services/psi_tables.h"
#include "services/service_info.h"
#include "services/transport_packet_consumer.h"

class CServiceScanner final : public ITransportPacketConsumer,
                              private CPsiSectionParser::ISectionHandler {
public:
    CServiceScanner();

    // Forgets everything: a new transponder is locked.
    void Reset();
    // Whole 188-byte packets; a trailing partial packet and packets without a sync byte are
    // skipped.
    void Consume(std::span<const std::uint8_t> packets);
    void OnPackets(std::span<const std::uint8_t> packets) override { Consume(packets); }

    // The programs of the PAT (not the network entry), by service number, with what the PMTs
    // and the SDT said about them so far.
    std::vector<ServiceInfo> Snapshot() const;
    // Every section of the PAT, the PMT of every program in it and every section of the SDT
    // actual have been seen.
    bool IsComplete() const;
    // Goes up whenever what Snapshot or IsComplete would answer changes: a cheap poll.
    std::uint64_t Revision() const;
    // Sections of the followed PIDs refused for their CRC32 or their layout.
    std::uint64_t BadSections() const;

private:
    // Which sections of one version of a table have arrived.
    struct SectionSet {
        int version = -1;
        std::uint8_t lastSection = 0;
        std::bitset<256> seen;
        bool Complete() const;
        // Starts over on a new version; false when this section was already taken.
        bool Take(std::uint8_t sectionVersion, std::uint8_t number, std::uint8_t last);
    };

    struct Program {
        std::uint16_t pmtPid = 0;
        std::optional<PmtTable> pmt;
    };

    void OnSection(std::span<const std::uint8_t> section) override;
    void OnPat(const PatTable& pat);
    void OnPmt(std::uint16_t pid, const PmtTable& pmt);
    void OnSdt(SdtTable sdt);
    void ClearLocked();
    // Every table and count, not the section parsers.
    void ClearTablesLocked();
    void FollowPid(std::uint16_t pid);

    mutable std::mutex m_lock;
    std::map<std::uint16_t, CPsiSectionParser> m_parsers;  // by PID
    std::uint16_t m_nSectionPid = 0;                       // the PID whose packet is being parsed

    int m_nTransportStreamId = -1;  // of the PAT
    SectionSet m_patSections;
    std::map<std::uint16_t, std::uint16_t> m_patEntries;  // program number -> PMT PID, this version
    std::map<std::uint16_t, Program> m_programs;          // of the last complete PAT

    int m_nSdtTransportStreamId = -1;
    SectionSet m_sdtSections;
    std::map<std::uint16_t, SdtService> m_sdtServices;

    std::bitset<0x2000> m_scrambledPids;
    std::uint64_t m_nRevision = 0;
    std::uint64_t m_nBadSections = 0;
};
