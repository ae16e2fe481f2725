#pragma once
// Cuts one service out of a transport stream, for a player: the PAT rewritten to name only that
// service (its own continuity counter, a valid CRC32), the service's PMT as it comes, its
// elementary streams and PCR PID, and, if wanted, the SDT and the EIT. The PIDs follow the PAT
// and the PMT as they change; before the PMT is seen only the PAT and the PMT pass. A stream
// starts at a point a decoder can start from: the start of a PES, and for video one that
// carries a sequence header (MPEG-2), SPS (H.264), VPS (HEVC) or the random-access flag; a
// video that shows none within kMaxStartsSkipped PES starts goes on from its next one.
// Not thread-safe: one thread feeds it (the player feed's caller).
#include <bitset>
#include <cstdint>
#include <map>
#include <span>
#include <vector>

#include "platform/media/psi_section_parser.h"

class CServicePidFilter final : private CPsiSectionParser::ISectionHandler {
public:
    static constexpr int kMaxStartsSkipped = 64;

    explicit CServicePidFilter(std::uint16_t serviceNumber, bool withSdtAndEit = true);

    // Appends to `out` the packets of the service among `packets` (whole 188-byte packets), in
    // their order; a PAT that names the service is followed by the rewritten one.
    void Filter(std::span<const std::uint8_t> packets, std::vector<std::uint8_t>& out);
    // Forgets the PIDs learnt: the stream starts over.
    void Reset();

    std::uint16_t ServiceNumber() const { return m_nServiceNumber; }
    // The PID belongs to the cut service (it passes, or waits for its first start point).
    bool Passes(std::uint16_t pid) const { return m_pass.test(pid) || m_waiting.count(pid) != 0; }

private:
    void OnSection(std::span<const std::uint8_t> section) override;
    void OnPatSection(std::span<const std::uint8_t> section);
    void OnPmtSection(std::span<const std::uint8_t> section);
    void WritePat(std::uint16_t transportStreamId, std::uint8_t version, std::uint16_t pmtPid);
    void PassBaseline();
    // True when `packet` of a waiting stream is where it may start.
    bool IsStartPoint(const std::uint8_t* packet, std::uint16_t pid);

    const std::uint16_t m_nServiceNumber;
    const bool m_bWithSdtAndEit;
    CPsiSectionParser m_patParser;
    CPsiSectionParser m_pmtParser;
    int m_nPmtPid = -1;
    std::bitset<0x2000> m_pass;  // PIDs copied through unchanged
    struct Waiting {
        std::uint8_t streamType = 0;
        int startsSkipped = 0;
    };
    std::map<std::uint16_t, Waiting> m_waiting;  // streams of the PMT before their first start
    std::uint8_t m_nPatContinuity = 0;
    std::uint16_t m_nSectionPid = 0;
    std::vector<std::uint8_t>* m_pOut = nullptr;  // during Filter
};
