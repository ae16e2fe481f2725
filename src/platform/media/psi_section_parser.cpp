#include "platform/media/psi_section_parser.h"

#include "platform/media/dvb_text.h"
#include "platform/media/mpeg2_crc32.h"

namespace {

std::uint16_t Be16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

// The 12-bit length in bytes 1..2 of a section header.
std::size_t SectionLength(const std::uint8_t* p) {
    return static_cast<std::size_t>(((p[1] & 0x0F) << 8) | p[2]);
}

// Checks what every long-form section of a table shares; returns its size or 0.
std::size_t CheckLongSection(std::span<const std::uint8_t> section, std::size_t minSize) {
    if (section.size() < minSize) return 0;
    if ((section[1] & 0x80) == 0) return 0;  // section_syntax_indicator
    if (3 + SectionLength(section.data()) != section.size()) return 0;
    if (!CPsiSectionParser::CheckCrc(section)) return 0;
    return section.size();
}

}  // namespace

CPsiSectionParser::CPsiSectionParser() {
    m_buffer.reserve(kMaxSectionSize + 188);
}

void CPsiSectionParser::Reset() {
    Drop();
    m_nLastCc = -1;
}

void CPsiSectionParser::Drop() {
    m_buffer.clear();
    m_bCollecting = false;
}

void CPsiSectionParser::PushPacket(const std::uint8_t* packet, ISectionHandler* handler) {
    if (packet[0] != 0x47) return;
    if ((packet[1] & 0x80) != 0) {  // transport_error_indicator: the payload cannot be trusted
        Drop();
        return;
    }
    const bool unitStart = (packet[1] & 0x40) != 0;  // payload_unit_start_indicator
    const unsigned adaptation = (packet[3] >> 4) & 0x3;
    const int cc = packet[3] & 0x0F;
    if ((adaptation & 0x1) == 0) return;  // no payload
    if (m_nLastCc >= 0) {
        if (cc == m_nLastCc) return;                 // a repeated packet
        if (cc != ((m_nLastCc + 1) & 0x0F)) Drop();  // a lost packet breaks the section
    }
    m_nLastCc = cc;

    std::size_t offset = 4;
    if ((adaptation & 0x2) != 0) offset += 1 + packet[4];  // adaptation_field_length
    if (offset >= 188) return;
    const std::uint8_t* payload = packet + offset;
    std::size_t size = 188 - offset;

    if (unitStart) {
        // pointer_field: the bytes before it end the previous section.
        const std::size_t pointer = payload[0];
        ++payload;
        --size;
        if (pointer > size) {
            Drop();
            return;
        }
        if (m_bCollecting) {
            Append(payload, pointer);
            Extract(handler);
        }
        Drop();
        m_bCollecting = true;
        Append(payload + pointer, size - pointer);
        Extract(handler);
    } else if (m_bCollecting) {
        Append(payload, size);
        Extract(handler);
    }
}

void CPsiSectionParser::Append(const std::uint8_t* data, std::size_t size) {
    m_buffer.insert(m_buffer.end(), data, data + size);
}

void CPsiSectionParser::Extract(ISectionHandler* handler) {
    std::size_t pos = 0;
    for (;;) {
        const std::size_t remaining = m_buffer.size() - pos;
        if (remaining == 0) break;
        if (m_buffer[pos] == 0xFF) {  // stuffing: nothing more in this packet
            Drop();
            return;
        }
        if (remaining < 3) break;
        const std::size_t total = 3 + SectionLength(m_buffer.data() + pos);
        if (total > kMaxSectionSize) {
            Drop();
            return;
        }
        if (remaining < total) break;
        if (handler != nullptr) handler->OnSection(std::span(m_buffer.data() + pos, total));
        pos += total;
    }
    m_buffer.erase(m_buffer.begin(), m_buffer.begin() + static_cast<std::ptrdiff_t>(pos));
}

bool CPsiSectionParser::CheckCrc(std::span<const std::uint8_t> section) {
    return section.size() >= 4 && Mpeg2Crc32(section) == 0;
}

std::optional<PatTable> CPsiSectionParser::DecodePat(std::span<const std::uint8_t> section) {
    // 8 header bytes, 4 per program, 4 CRC bytes.
    const std::size_t size = CheckLongSection(section, 12);
    if (size == 0 || section[0] != 0x00 || (size - 12) % 4 != 0) return std::nullopt;
    PatTable pat;
    pat.transportStreamId = Be16(&section[3]);
    pat.version = static_cast<std::uint8_t>((section[5] >> 1) & 0x1F);
    pat.currentNext = (section[5] & 0x01) != 0;
    pat.sectionNumber = section[6];
    pat.lastSectionNumber = section[7];
    for (std::size_t pos = 8; pos + 4 <= size - 4; pos += 4) {
        pat.programs.push_back(PatProgram{
            Be16(&section[pos]), static_cast<std::uint16_t>(Be16(&section[pos + 2]) & 0x1FFF)});
    }
    return pat;
}

std::optional<SdtTable> CPsiSectionParser::DecodeSdt(std::span<const std::uint8_t> section) {
    // 11 header bytes (up to reserved_future_use after original_network_id), 4 CRC bytes.
    const std::size_t size = CheckLongSection(section, 15);
    if (size == 0 || (section[0] != 0x42 && section[0] != 0x46)) return std::nullopt;
    SdtTable sdt;
    sdt.tableId = section[0];
    sdt.transportStreamId = Be16(&section[3]);
    sdt.version = static_cast<std::uint8_t>((section[5] >> 1) & 0x1F);
    sdt.sectionNumber = section[6];
    sdt.lastSectionNumber = section[7];
    sdt.originalNetworkId = Be16(&section[8]);
    const std::size_t end = size - 4;
    std::size_t pos = 11;
    while (pos < end) {
        // service_id(16) reserved(6) EIT flags(2) running_status(3) free_CA(1) loop_length(12)
        if (pos + 5 > end) return std::nullopt;
        SdtService service;
        service.serviceId = Be16(&section[pos]);
        service.freeCaMode = (section[pos + 3] & 0x10) != 0;
        const std::size_t loopEnd = pos + 5 + SectionLength(&section[pos + 2]);
        pos += 5;
        if (loopEnd > end) return std::nullopt;
        while (pos < loopEnd) {
            if (pos + 2 > loopEnd) return std::nullopt;
            const std::uint8_t tag = section[pos];
            const std::size_t length = section[pos + 1];
            const std::size_t body = pos + 2;
            if (body + length > loopEnd) return std::nullopt;
            if (tag == 0x48 && length >= 3) {
                // service_descriptor: type, provider name (length-prefixed), service name.
                service.serviceType = section[body];
                const std::size_t providerLength = section[body + 1];
                if (2 + providerLength + 1 > length) return std::nullopt;
                const std::size_t nameAt = body + 2 + providerLength;
                const std::size_t nameLength = section[nameAt];
                if (2 + providerLength + 1 + nameLength > length) return std::nullopt;
                service.provider = DecodeDvbText(section.subspan(body + 2, providerLength));
                service.name = DecodeDvbText(section.subspan(nameAt + 1, nameLength));
            }
            pos = body + length;
        }
        sdt.services.push_back(std::move(service));
    }
    return sdt;
}
