#include "platform/media/ts_test_stream.h"

#include <algorithm>

#include "platform/media/mpeg2_crc32.h"

void AppendBytes(CTsTestStream::Bytes& out, const CTsTestStream::Bytes& more) {
    out.insert(out.end(), more.begin(), more.end());
}

CTsTestStream::Bytes CTsTestStream::Packet(std::uint16_t pid, std::span<const std::uint8_t> payload,
                                           bool unitStart) {
    Bytes packet(188, 0xFF);
    packet[0] = 0x47;
    packet[1] = static_cast<std::uint8_t>((unitStart ? 0x40 : 0x00) | ((pid >> 8) & 0x1F));
    packet[2] = static_cast<std::uint8_t>(pid & 0xFF);
    packet[3] = static_cast<std::uint8_t>(0x10 | (m_cc[pid] & 0x0F));  // payload only
    m_cc[pid] = static_cast<std::uint8_t>((m_cc[pid] + 1) & 0x0F);
    std::copy_n(payload.begin(), std::min<std::size_t>(payload.size(), 184), packet.begin() + 4);
    return packet;
}

CTsTestStream::Bytes CTsTestStream::SectionPackets(std::uint16_t pid,
                                                   std::span<const std::uint8_t> section) {
    Bytes payload;
    payload.push_back(0x00);  // pointer_field
    payload.insert(payload.end(), section.begin(), section.end());
    Bytes out;
    for (std::size_t pos = 0; pos < payload.size(); pos += 184) {
        const std::size_t n = std::min<std::size_t>(184, payload.size() - pos);
        AppendBytes(out, Packet(pid, std::span(payload).subspan(pos, n), pos == 0));
    }
    return out;
}

CTsTestStream::Bytes CTsTestStream::Packets(std::uint16_t pid, int count) {
    Bytes out;
    for (int i = 0; i < count; ++i) {
        Bytes payload(184, static_cast<std::uint8_t>(i));
        AppendBytes(out, Packet(pid, payload));
    }
    return out;
}

CTsTestStream::Bytes CTsTestStream::LongSection(std::uint8_t tableId, std::uint16_t extension,
                                                std::uint8_t version, const Bytes& body,
                                                std::uint8_t sectionNumber,
                                                std::uint8_t lastSectionNumber) {
    const std::size_t sectionLength = 5 + body.size() + 4;
    Bytes section = {
        tableId,
        static_cast<std::uint8_t>(0xB0 | ((sectionLength >> 8) & 0x0F)),  // syntax 1, reserved
        static_cast<std::uint8_t>(sectionLength & 0xFF),
        static_cast<std::uint8_t>(extension >> 8),
        static_cast<std::uint8_t>(extension & 0xFF),
        static_cast<std::uint8_t>(0xC1 | ((version & 0x1F) << 1)),  // current_next 1
        sectionNumber,
        lastSectionNumber};
    AppendBytes(section, body);
    AppendMpeg2Crc32(section);
    return section;
}

CTsTestStream::Bytes CTsTestStream::PatSection(std::uint16_t tsid,
                                               const std::vector<PatProgram>& programs,
                                               std::uint8_t version) {
    Bytes body;
    for (const PatProgram& p : programs) {
        body.push_back(static_cast<std::uint8_t>(p.programNumber >> 8));
        body.push_back(static_cast<std::uint8_t>(p.programNumber & 0xFF));
        body.push_back(static_cast<std::uint8_t>(0xE0 | (p.pid >> 8)));
        body.push_back(static_cast<std::uint8_t>(p.pid & 0xFF));
    }
    return LongSection(0x00, tsid, version, body);
}

CTsTestStream::Bytes CTsTestStream::SdtSection(std::uint16_t tsid, std::uint16_t onid,
                                               const std::vector<SdtService>& services,
                                               std::uint8_t tableId) {
    Bytes body = {static_cast<std::uint8_t>(onid >> 8), static_cast<std::uint8_t>(onid & 0xFF),
                  0xFF};
    for (const SdtService& s : services) {
        Bytes descriptor = {0x48, 0, s.serviceType, static_cast<std::uint8_t>(s.provider.size())};
        descriptor.insert(descriptor.end(), s.provider.begin(), s.provider.end());
        descriptor.push_back(static_cast<std::uint8_t>(s.name.size()));
        descriptor.insert(descriptor.end(), s.name.begin(), s.name.end());
        descriptor[1] = static_cast<std::uint8_t>(descriptor.size() - 2);
        body.push_back(static_cast<std::uint8_t>(s.serviceId >> 8));
        body.push_back(static_cast<std::uint8_t>(s.serviceId & 0xFF));
        body.push_back(0xFC);  // reserved, no EIT flags
        body.push_back(static_cast<std::uint8_t>(0x80 | (descriptor.size() >> 8)));  // running
        body.push_back(static_cast<std::uint8_t>(descriptor.size() & 0xFF));
        AppendBytes(body, descriptor);
    }
    return LongSection(tableId, tsid, 0, body);
}
