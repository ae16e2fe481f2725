#include "services/service_scanner.h"

#include "services/service_texts.h"

namespace {
constexpr std::uint8_t kSyncByte = 0x47;
}  // namespace

bool CServiceScanner::SectionSet::Complete() const {
    if (version < 0) return false;
    for (unsigned n = 0; n <= lastSection; ++n) {
        if (!seen.test(n)) return false;
    }
    return true;
}

bool CServiceScanner::SectionSet::Take(std::uint8_t sectionVersion, std::uint8_t number,
                                       std::uint8_t last) {
    if (sectionVersion != version || last != lastSection) {
        version = sectionVersion;
        lastSection = last;
        seen.reset();
    }
    if (number > last || seen.test(number)) return false;
    seen.set(number);
    return true;
}

CServiceScanner::CServiceScanner() {
    ClearLocked();
}

void CServiceScanner::Reset() {
    std::lock_guard guard(m_lock);
    ClearLocked();
    ++m_nRevision;
}

void CServiceScanner::ClearLocked() {
    m_parsers.clear();
    FollowPid(services::kPatPid);
    FollowPid(services::kSdtPid);
    ClearTablesLocked();
}

void CServiceScanner::ClearTablesLocked() {
    m_nTransportStreamId = -1;
    m_patSections = {};
    m_patEntries.clear();
    m_programs.clear();
    m_nSdtTransportStreamId = -1;
    m_sdtSections = {};
    m_sdtServices.clear();
    m_scrambledPids.reset();
    m_nBadSections = 0;
}

void CServiceScanner::FollowPid(std::uint16_t pid) {
    m_parsers.try_emplace(pid);
}

void CServiceScanner::Consume(std::span<const std::uint8_t> packets) {
    std::lock_guard guard(m_lock);
    for (std::size_t at = 0; at + kPacketSize <= packets.size(); at += kPacketSize) {
        const std::uint8_t* packet = packets.data() + at;
        if (packet[0] != kSyncByte) continue;
        const auto pid = static_cast<std::uint16_t>(((packet[1] & 0x1F) << 8) | packet[2]);
        // transport_scrambling_control, on packets that carry a payload.
        if ((packet[3] & 0xC0) != 0 && (packet[3] & 0x10) != 0 && !m_scrambledPids.test(pid)) {
            m_scrambledPids.set(pid);
            ++m_nRevision;
        }
        const auto parser = m_parsers.find(pid);
        if (parser == m_parsers.end()) continue;
        m_nSectionPid = pid;
        parser->second.PushPacket(packet, this);
    }
}

void CServiceScanner::OnSection(std::span<const std::uint8_t> section) {
    const std::uint8_t tableId = section[0];
    if (m_nSectionPid == services::kPatPid) {
        if (tableId != services::kPatTableId) return;
        if (const auto pat = services::DecodeCurrentPat(section)) {
            OnPat(*pat);
        } else {
            ++m_nBadSections;
        }
    } else if (m_nSectionPid == services::kSdtPid) {
        if (tableId != services::kSdtActualTableId) return;  // SDT other, BAT
        if (auto sdt = services::DecodeSdtActual(section)) {
            OnSdt(std::move(*sdt));
        } else {
            ++m_nBadSections;
        }
    } else if (tableId == services::kPmtTableId) {
        if (const auto pmt = services::DecodePmt(section)) {
            OnPmt(m_nSectionPid, *pmt);
        } else {
            ++m_nBadSections;
        }
    }
}

void CServiceScanner::OnPat(const PatTable& pat) {
    if (pat.transportStreamId != m_nTransportStreamId) {
        // Another transport stream without a Reset: nothing of the old one holds. The PAT's
        // parser is the one calling, so it stays; every other PID starts afresh.
        if (m_nTransportStreamId >= 0) {
            std::erase_if(m_parsers,
                          [](const auto& entry) { return entry.first != services::kPatPid; });
            FollowPid(services::kSdtPid);
            ClearTablesLocked();
        }
        m_nTransportStreamId = pat.transportStreamId;
    }
    const int oldVersion = m_patSections.version;
    if (!m_patSections.Take(pat.version, pat.sectionNumber, pat.lastSectionNumber)) return;
    if (m_patSections.version != oldVersion) m_patEntries.clear();
    for (const PatProgram& program : pat.programs) {
        if (program.programNumber != 0) m_patEntries[program.programNumber] = program.pid;
    }
    if (!m_patSections.Complete()) return;

    std::map<std::uint16_t, Program> programs;
    for (const auto& [number, pmtPid] : m_patEntries) {
        Program& program = programs[number];
        program.pmtPid = pmtPid;
        const auto old = m_programs.find(number);
        if (old != m_programs.end() && old->second.pmtPid == pmtPid) program.pmt = old->second.pmt;
    }
    m_programs = std::move(programs);
    // Follow exactly the PAT, the SDT and the PMT PIDs now named.
    for (auto it = m_parsers.begin(); it != m_parsers.end();) {
        const std::uint16_t pid = it->first;
        bool used = pid == services::kPatPid || pid == services::kSdtPid;
        for (const auto& [number, program] : m_programs) used = used || program.pmtPid == pid;
        it = used ? std::next(it) : m_parsers.erase(it);
    }
    for (const auto& [number, program] : m_programs) FollowPid(program.pmtPid);
    ++m_nRevision;
}

void CServiceScanner::OnPmt(std::uint16_t pid, const PmtTable& pmt) {
    const auto program = m_programs.find(pmt.programNumber);
    if (program == m_programs.end() || program->second.pmtPid != pid) return;
    std::optional<PmtTable>& held = program->second.pmt;
    if (held && held->version == pmt.version) return;  // a repetition
    held = pmt;
    ++m_nRevision;
}

void CServiceScanner::OnSdt(SdtTable sdt) {
    if (sdt.transportStreamId != m_nSdtTransportStreamId) {
        m_sdtSections = {};
        m_sdtServices.clear();
        m_nSdtTransportStreamId = sdt.transportStreamId;
    }
    const int oldVersion = m_sdtSections.version;
    if (!m_sdtSections.Take(sdt.version, sdt.sectionNumber, sdt.lastSectionNumber)) return;
    if (m_sdtSections.version != oldVersion) m_sdtServices.clear();
    for (SdtService& entry : sdt.services) m_sdtServices[entry.serviceId] = std::move(entry);
    ++m_nRevision;
}

std::vector<ServiceInfo> CServiceScanner::Snapshot() const {
    std::lock_guard guard(m_lock);
    std::vector<ServiceInfo> list;
    list.reserve(m_programs.size());
    for (const auto& [number, program] : m_programs) {
        ServiceInfo service;
        service.serviceNumber = number;
        service.pmtPid = program.pmtPid;
        if (program.pmt) {
            const PmtTable& pmt = *program.pmt;
            service.pmtSeen = true;
            service.pcrPid = pmt.pcrPid;
            service.caDescriptor = pmt.caDescriptor;
            for (const PmtStream& stream : pmt.streams) {
                ElementaryStreamInfo info;
                info.pid = stream.pid;
                services::DescribeStream(stream.streamType, stream.descriptors, &info);
                info.caDescriptor =
                    services::HasDescriptor(stream.descriptors, services::kCaDescriptorTag);
                info.scrambledSeen = m_scrambledPids.test(stream.pid);
                service.caDescriptor = service.caDescriptor || info.caDescriptor;
                service.scrambledSeen = service.scrambledSeen || info.scrambledSeen;
                service.streams.push_back(std::move(info));
            }
        }
        const auto sdt = m_sdtServices.find(number);
        if (sdt != m_sdtServices.end()) {
            service.sdtSeen = true;
            service.freeCaMode = sdt->second.freeCaMode;
            service.name = sdt->second.name;
            service.provider = sdt->second.provider;
            service.serviceType = sdt->second.serviceType;
        }
        service.serviceTypeText = service.serviceType != 0
                                      ? services::ServiceTypeText(service.serviceType)
                                      : services::GuessServiceTypeText(service);
        list.push_back(std::move(service));
    }
    return list;
}

bool CServiceScanner::IsComplete() const {
    std::lock_guard guard(m_lock);
    if (!m_patSections.Complete() || !m_sdtSections.Complete()) return false;
    for (const auto& [number, program] : m_programs) {
        if (!program.pmt) return false;
    }
    return true;
}

std::uint64_t CServiceScanner::Revision() const {
    std::lock_guard guard(m_lock);
    return m_nRevision;
}

std::uint64_t CServiceScanner::BadSections() const {
    std::lock_guard guard(m_lock);
    return m_nBadSections;
}
