#include "drivers/sim/ts_packet_reader.h"

#include <algorithm>
#include <cstdio>

#include "platform/media/mpeg2_crc32.h"

namespace {

constexpr std::size_t kPacket = 188;

unsigned U16(const std::uint8_t* p) {
    return static_cast<unsigned>(p[0] << 8 | p[1]);
}

bool LongSectionOk(const std::vector<std::uint8_t>& s, std::uint8_t tableId) {
    return s.size() >= 12 && s[0] == tableId && (s[1] & 0x80) != 0 &&
           s.size() == 3 + (U16(&s[1]) & 0x0FFF) && Mpeg2Crc32(s) == 0;
}

}  // namespace

CTsPacketReader::CTsPacketReader() : m_sectionPids{0x0000, 0x0010, 0x0011} {}

void CTsPacketReader::Read(const std::uint8_t* data, std::size_t packetCount) {
    for (std::size_t i = 0; i < packetCount; ++i, ++m_nPacket) ReadPacket(data + i * kPacket);
}

void CTsPacketReader::Error(std::uint16_t pid, const std::string& what) {
    char prefix[64];
    std::snprintf(prefix, sizeof prefix,
                  "packet %llu PID 0x%X: ", static_cast<unsigned long long>(m_nPacket), pid);
    m_errors.push_back(prefix + what);
}

void CTsPacketReader::ReadPacket(const std::uint8_t* p) {
    const std::uint16_t pid = static_cast<std::uint16_t>(U16(p + 1) & 0x1FFF);
    if (p[0] != 0x47) return Error(pid, "no sync byte");
    if (p[1] & 0x80) Error(pid, "transport_error_indicator set");
    if (p[3] & 0xC0) Error(pid, "scrambled");
    const bool start = (p[1] & 0x40) != 0;
    const unsigned control = (p[3] >> 4) & 3;
    const std::uint8_t cc = p[3] & 0x0F;
    ++m_packetsPerPid[pid];
    if (control == 0) return Error(pid, "adaptation_field_control 0");
    if (pid == 0x1FFF) {
        if (control != 1 || start) Error(pid, "null packet with adaptation field or PUSI");
        return;
    }
    const bool payload = (control & 1) != 0;
    PidState& state = m_pids[pid];
    if (state.lastCc) {
        const std::uint8_t expected = payload ? (*state.lastCc + 1) & 0x0F : *state.lastCc;
        if (cc != expected) {
            Error(pid, "CC " + std::to_string(cc) + " after " + std::to_string(*state.lastCc));
        }
    }
    state.lastCc = cc;

    std::size_t offset = 4;
    bool randomAccess = false;
    if (control & 2) {
        const std::size_t length = p[4];
        if (!payload && length != 183) return Error(pid, "adaptation-only field not 183 bytes");
        if (payload && length > 182) return Error(pid, "adaptation field leaves no payload");
        std::size_t used = 0;
        if (length > 0) {
            const std::uint8_t flags = p[5];
            if (flags & ~0x50) Error(pid, "unexpected adaptation flags");
            randomAccess = (flags & 0x40) != 0;
            if (randomAccess && !start) Error(pid, "random access indicated inside a PES");
            used = 1;
            if (flags & 0x10) {
                if (length < 7) return Error(pid, "PCR does not fit");
                const std::uint8_t* f = p + 6;
                const std::uint64_t base = std::uint64_t{f[0]} << 25 | std::uint64_t{f[1]} << 17 |
                                           std::uint64_t{f[2]} << 9 | std::uint64_t{f[3]} << 1 |
                                           (f[4] >> 7);
                const std::uint64_t extension = (std::uint64_t{f[4]} & 1) << 8 | f[5];
                if ((f[4] & 0x7E) != 0x7E) Error(pid, "PCR reserved bits not set");
                if (extension >= 300) Error(pid, "PCR extension beyond 299");
                m_pcrs.push_back({pid, m_nPacket, base * 300 + extension});
                used += 6;
            }
        }
        for (std::size_t i = 5 + used; i < 5 + length; ++i) {
            if (p[i] != 0xFF) return Error(pid, "adaptation stuffing not 0xFF");
        }
        offset = 5 + length;
    }
    if (!payload) return;
    if (m_sectionPids.count(pid)) {
        ReadSectionBytes(pid, state, p + offset, kPacket - offset, start);
    } else {
        ReadPesBytes(pid, state, p + offset, kPacket - offset, start, randomAccess);
    }
}

void CTsPacketReader::ReadPesBytes(std::uint16_t pid, PidState& state, const std::uint8_t* data,
                                   std::size_t size, bool start, bool randomAccess) {
    if (!start) {
        state.pesBytes += size;
        if (state.pesExpected != 0 && state.pesBytes > state.pesExpected) {
            Error(pid, "PES longer than its PES_packet_length");
        }
        return;
    }
    if (state.pesExpected != 0 && state.pesBytes != state.pesExpected) {
        Error(pid, "PES of " + std::to_string(state.pesExpected) + " bytes ended after " +
                       std::to_string(state.pesBytes));
    }
    if (size < 9 || data[0] != 0 || data[1] != 0 || data[2] != 1)
        return Error(pid, "no PES start code");
    ReadPes header{pid, m_nPacket, data[3], static_cast<std::uint16_t>(U16(data + 4)),
                   std::nullopt};
    if ((data[6] & 0xC0) != 0x80) Error(pid, "PES header marker bits wrong");
    if ((data[7] & 0xC0) == 0x80) {
        const std::uint8_t* t = data + 9;
        if ((t[0] & 0xF1) != 0x21 || (t[2] & 1) != 1 || (t[4] & 1) != 1) {
            Error(pid, "PTS prefix or marker bits wrong");
        }
        header.pts = (std::uint64_t{t[0]} >> 1 & 7) << 30 | std::uint64_t{t[1]} << 22 |
                     (std::uint64_t{t[2]} >> 1) << 15 | std::uint64_t{t[3]} << 7 | t[4] >> 1;
    }
    header.randomAccess = randomAccess;
    const std::size_t body = 9u + data[8];
    header.opensSequence = size >= body + 4 && data[body] == 0 && data[body + 1] == 0 &&
                           data[body + 2] == 1 && data[body + 3] == 0xB3;
    m_pes.push_back(header);
    state.pesExpected = header.length == 0 ? 0 : header.length + 6u;
    state.pesBytes = size;
}

std::size_t CTsPacketReader::Collect(std::uint16_t pid, PidState& state, const std::uint8_t* data,
                                     std::size_t size) {
    std::size_t used = 0;
    for (;;) {
        const std::size_t target =
            state.section.size() < 3 ? 3 : 3 + (U16(&state.section[1]) & 0x0FFF);
        if (state.section.size() >= target || used == size) break;
        const std::size_t take = std::min(target - state.section.size(), size - used);
        state.section.insert(state.section.end(), data + used, data + used + take);
        used += take;
    }
    if (state.section.size() >= 3 &&
        state.section.size() == 3 + (U16(&state.section[1]) & 0x0FFF)) {
        ReadSection done{pid, state.sectionPacket, state.section, Mpeg2Crc32(state.section) == 0};
        if (!done.crcOk) Error(pid, "section CRC wrong");
        if (done.crcOk && pid == 0) {
            if (auto pat = DecodePat(done.bytes)) {
                for (const auto& [program, pmtPid] : pat->programs) {
                    if (program != 0) m_sectionPids.insert(pmtPid);
                }
            }
        }
        m_sections.push_back(std::move(done));
        state.collecting = false;
        state.section.clear();
    }
    return used;
}

void CTsPacketReader::ReadSectionBytes(std::uint16_t pid, PidState& state, const std::uint8_t* data,
                                       std::size_t size, bool start) {
    std::size_t pos = 0;
    if (start) {
        const std::size_t pointer = data[0];
        if (pointer + 1 > size) return Error(pid, "pointer_field beyond the packet");
        if (state.collecting) {
            const std::size_t used = Collect(pid, state, data + 1, pointer);
            if (state.collecting)
                Error(pid, "section cut short by a new one");
            else if (used != pointer)
                Error(pid, "pointer_field does not match the section end");
            state.collecting = false;
            state.section.clear();
        }
        pos = 1 + pointer;
        while (pos < size && data[pos] != 0xFF) {
            state.collecting = true;
            state.sectionPacket = m_nPacket;
            pos += Collect(pid, state, data + pos, size - pos);
            if (state.collecting) return;  // goes on in the next packet
        }
    } else if (state.collecting) {
        pos = Collect(pid, state, data, size);
        if (state.collecting) return;
    } else {
        return;  // the middle of a section whose start we did not see
    }
    for (; pos < size; ++pos) {
        if (data[pos] != 0xFF) return Error(pid, "bytes after the last section not 0xFF");
    }
}

std::optional<DecodedPat> DecodePat(const std::vector<std::uint8_t>& s) {
    if (!LongSectionOk(s, 0x00) || (s.size() - 12) % 4 != 0) return std::nullopt;
    DecodedPat pat;
    pat.transportStreamId = static_cast<std::uint16_t>(U16(&s[3]));
    for (std::size_t i = 8; i + 4 <= s.size() - 4; i += 4) {
        pat.programs[static_cast<std::uint16_t>(U16(&s[i]))] =
            static_cast<std::uint16_t>(U16(&s[i + 2]) & 0x1FFF);
    }
    return pat;
}

std::optional<DecodedPmt> DecodePmt(const std::vector<std::uint8_t>& s) {
    if (!LongSectionOk(s, 0x02)) return std::nullopt;
    DecodedPmt pmt;
    pmt.programNumber = static_cast<std::uint16_t>(U16(&s[3]));
    pmt.pcrPid = static_cast<std::uint16_t>(U16(&s[8]) & 0x1FFF);
    std::size_t pos = 12 + (U16(&s[10]) & 0x0FFF);
    while (pos + 5 <= s.size() - 4) {
        pmt.streams.emplace_back(s[pos], static_cast<std::uint16_t>(U16(&s[pos + 1]) & 0x1FFF));
        pos += 5 + (U16(&s[pos + 3]) & 0x0FFF);
    }
    if (pos != s.size() - 4) return std::nullopt;
    return pmt;
}

std::optional<DecodedSdt> DecodeSdt(const std::vector<std::uint8_t>& s) {
    if (!LongSectionOk(s, 0x42)) return std::nullopt;
    DecodedSdt sdt;
    sdt.transportStreamId = static_cast<std::uint16_t>(U16(&s[3]));
    sdt.sectionNumber = s[6];
    sdt.lastSectionNumber = s[7];
    sdt.originalNetworkId = static_cast<std::uint16_t>(U16(&s[8]));
    std::size_t pos = 11;
    while (pos + 5 <= s.size() - 4) {
        DecodedSdtService service;
        service.serviceId = static_cast<std::uint16_t>(U16(&s[pos]));
        service.runningStatus = static_cast<std::uint8_t>(s[pos + 3] >> 5);
        const std::size_t loopEnd = pos + 5 + (U16(&s[pos + 3]) & 0x0FFF);
        if (loopEnd > s.size() - 4) return std::nullopt;
        for (std::size_t d = pos + 5; d + 2 <= loopEnd; d += 2 + s[d + 1]) {
            if (s[d] != 0x48) continue;
            const std::uint8_t* body = &s[d + 2];
            service.serviceType = body[0];
            const std::size_t providerLength = body[1];
            service.provider.assign(reinterpret_cast<const char*>(body + 2), providerLength);
            service.name.assign(reinterpret_cast<const char*>(body + 3 + providerLength),
                                body[2 + providerLength]);
        }
        sdt.services.push_back(service);
        pos = loopEnd;
    }
    if (pos != s.size() - 4) return std::nullopt;
    return sdt;
}

std::optional<DecodedNit> DecodeNit(const std::vector<std::uint8_t>& s) {
    if (!LongSectionOk(s, 0x40)) return std::nullopt;
    DecodedNit nit;
    nit.networkId = static_cast<std::uint16_t>(U16(&s[3]));
    const std::size_t networkEnd = 10 + (U16(&s[8]) & 0x0FFF);
    for (std::size_t d = 10; d + 2 <= networkEnd; d += 2 + s[d + 1]) {
        if (s[d] == 0x40)
            nit.networkName.assign(reinterpret_cast<const char*>(&s[d + 2]), s[d + 1]);
    }
    const std::size_t loopEnd = networkEnd + 2 + (U16(&s[networkEnd]) & 0x0FFF);
    if (loopEnd != s.size() - 4) return std::nullopt;
    std::size_t pos = networkEnd + 2;
    if (pos + 6 > loopEnd) return nit;
    nit.transportStreamId = static_cast<std::uint16_t>(U16(&s[pos]));
    nit.originalNetworkId = static_cast<std::uint16_t>(U16(&s[pos + 2]));
    const std::size_t descriptorsEnd = pos + 6 + (U16(&s[pos + 4]) & 0x0FFF);
    for (std::size_t d = pos + 6; d + 2 <= descriptorsEnd; d += 2 + s[d + 1]) {
        if (s[d] != 0x41) continue;
        for (std::size_t i = d + 2; i + 3 <= d + 2 + s[d + 1]; i += 3) {
            nit.serviceList.emplace_back(static_cast<std::uint16_t>(U16(&s[i])), s[i + 2]);
        }
    }
    return nit;
}
