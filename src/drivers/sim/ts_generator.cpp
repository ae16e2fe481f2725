#include "drivers/sim/ts_generator.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <stdexcept>
#include <string>

#include "drivers/sim/mp2_tone_frame.h"
#include "drivers/sim/test_card_video.h"
#include "platform/media/mpeg2_crc32.h"

namespace {

__extension__ using Wide = unsigned __int128;

constexpr std::size_t kPayloadSize = 184;  // packet minus its 4-byte header
constexpr std::uint64_t kPacketBits = std::uint64_t{188} * 8;
constexpr std::uint64_t kPtsHz = 90'000;
constexpr std::uint64_t kPtsMask = (std::uint64_t{1} << 33) - 1;
constexpr std::uint64_t kPtsDelay = kPtsHz / 2;   // 500 ms from arrival to presentation
constexpr std::uint64_t kVideoFrameTicks = 3600;  // 25 frames/s
constexpr std::uint64_t kAudioFrameTicks = 2160;  // 1152 samples at 48 kHz
constexpr std::size_t kPesHeaderSize = 14;        // start code .. PTS
constexpr std::size_t kPcrFieldSize = 8;          // length, flags, 6 bytes PCR
constexpr std::uint64_t kMaxBoundedPackets = (65535 + 6) / kPayloadSize;
constexpr std::size_t kMaxSection = 1024;  // PSI and DVB SI sections, header and CRC included
constexpr std::size_t kPayloadPool = 65536;
constexpr std::uint64_t kPcrIntervalMs = 20;
constexpr std::uint64_t kPcrGraceMs = 10;
constexpr std::uint64_t kPatPmtPeriodMs = 100;
constexpr std::uint64_t kSdtPeriodMs = 500;
constexpr std::uint64_t kNitPeriodMs = 1000;
constexpr std::uint16_t kNitPid = 0x0010;
constexpr std::uint16_t kSdtPid = 0x0011;
constexpr std::uint16_t kFirstFreePid = 0x0020;
constexpr std::uint16_t kNullPid = 0x1FFF;
constexpr std::uint64_t kMaxBitRate = 10'000'000'000;
constexpr std::size_t kMaxServices = 100;
constexpr std::uint8_t kMpeg2Video = 0x02;

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

// A 12-bit length after 4 reserved bits, as in every descriptor-loop length of PSI/SI.
void PutLoopLength(Bytes& out, std::size_t length) {
    Put16(out, 0xF000u | static_cast<unsigned>(length));
}

// Long-form section header up to last_section_number; version 0, current.
Bytes SectionHeader(std::uint8_t tableId, bool dvbSi, std::uint16_t extension, std::uint8_t number,
                    std::uint8_t last) {
    // section_syntax_indicator, then '0' (MPEG tables) or reserved_future_use '1' (DVB SI),
    // then reserved '11'; the length follows once the section is complete.
    Bytes out = {tableId, static_cast<std::uint8_t>(dvbSi ? 0xF0 : 0xB0), 0x00};
    Put16(out, extension);
    out.push_back(0xC1);  // reserved '11', version 0, current_next_indicator 1
    out.push_back(number);
    out.push_back(last);
    return out;
}

Bytes FinishSection(Bytes section) {
    const std::size_t length = section.size() - 3 + 4;  // after the length field, CRC included
    if (length > kMaxSection - 3) throw std::invalid_argument("table section too long");
    section[1] = static_cast<std::uint8_t>(section[1] | (length >> 8));
    section[2] = static_cast<std::uint8_t>(length);
    AppendMpeg2Crc32(section);
    return section;
}

// DVB text: plain bytes are the default Latin table; anything beyond ASCII goes as UTF-8 behind
// its selector byte.
Bytes DvbText(const std::string& text) {
    Bytes out;
    out.reserve(text.size() + 1);
    if (std::any_of(text.begin(), text.end(),
                    [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
        out.push_back(0x15);
    }
    for (char c : text) out.push_back(static_cast<std::uint8_t>(c));
    return out;
}

Bytes ServiceDescriptor(const SimServiceConfig& service) {
    const Bytes provider = DvbText(service.provider_name);
    const Bytes name = DvbText(service.service_name);
    const std::size_t length = 3 + provider.size() + name.size();
    if (length > 255) {
        throw std::invalid_argument("service " + std::to_string(service.service_id) +
                                    ": provider and service names too long");
    }
    Bytes out = {0x48, static_cast<std::uint8_t>(length), service.service_type,
                 static_cast<std::uint8_t>(provider.size())};
    out.insert(out.end(), provider.begin(), provider.end());
    out.push_back(static_cast<std::uint8_t>(name.size()));
    out.insert(out.end(), name.begin(), name.end());
    return out;
}

bool IsVideo(std::uint8_t streamType) {
    switch (streamType) {
        case 0x01:  // MPEG-1 video
        case 0x02:  // MPEG-2 video
        case 0x10:  // MPEG-4 part 2
        case 0x1B:  // H.264
        case 0x24:  // H.265
            return true;
        default:
            return false;
    }
}

bool IsMpegAudio(std::uint8_t streamType) {
    return streamType == 0x03 || streamType == 0x04 || streamType == 0x0F || streamType == 0x11;
}

std::uint64_t FrameTicks(std::uint8_t streamType) {
    return IsVideo(streamType) ? kVideoFrameTicks : kAudioFrameTicks;
}

bool IsTone(std::uint8_t streamType) {
    return streamType == 0x03 || streamType == 0x04;  // MPEG-1 and MPEG-2 audio: Layer II
}

// Smallest rate that gives each frame two packets, so that a PCR in one of them cannot make the
// stream fall ever further behind its frame clock (and that carries the tone's PES in two); more
// for the test card.
std::uint64_t MinimumStreamRate(std::uint8_t streamType) {
    const std::uint64_t twoPackets =
        (2 * kPacketBits * kPtsHz + FrameTicks(streamType) - 1) / FrameTicks(streamType);
    return streamType == kMpeg2Video ? std::max(twoPackets, CTsGenerator::kTestCardMinimumRate)
                                     : twoPackets;
}

std::uint64_t SplitMix64(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::uint64_t MsToSlotsFloor(std::uint64_t bitRate, std::uint64_t ms) {
    return std::max<std::uint64_t>(1, bitRate * ms / (kPacketBits * 1000));
}

}  // namespace

void CTsGenerator::RationalClock::Init(std::uint64_t numerator, std::uint64_t stepDenominator) {
    whole = 0;
    fraction = 0;
    stepWhole = numerator / stepDenominator;
    stepFraction = numerator % stepDenominator;
    denominator = stepDenominator;
}

void CTsGenerator::RationalClock::Seek(std::uint64_t steps) {
    const Wide parts = Wide{steps} * stepFraction;
    whole = steps * stepWhole + static_cast<std::uint64_t>(parts / denominator);
    fraction = static_cast<std::uint64_t>(parts % denominator);
}

void CTsGenerator::RationalClock::Advance() {
    whole += stepWhole;
    fraction += stepFraction;
    if (fraction >= denominator) {
        fraction -= denominator;
        ++whole;
    }
}

CTsGenerator::CTsGenerator(const SimStreamConfig& config, std::uint64_t firstPacket)
    : m_nBitRate(config.bit_rate), m_nFirstPacket(firstPacket) {
    Validate(config);
    m_nPtsOrigin = PacketTime(m_nBitRate, m_nFirstPacket) / 300;
    BuildTables(config);
    BuildFlows(config);
}

CTsGenerator::~CTsGenerator() = default;

std::uint64_t CTsGenerator::ToneStreamRate() {
    const std::uint64_t packets =
        (kPesHeaderSize + kMp2ToneFrame.size() + kPayloadSize - 1) / kPayloadSize;
    return (packets * kPacketBits * kPtsHz + kAudioFrameTicks - 1) / kAudioFrameTicks;
}

std::uint64_t CTsGenerator::PacketTime(std::uint64_t bitRate, std::uint64_t packetIndex) {
    return static_cast<std::uint64_t>(Wide{packetIndex} * kPacketBits * kClockHz / bitRate);
}

std::uint64_t CTsGenerator::PacketsBefore(std::uint64_t bitRate, std::uint64_t time27MHz) {
    // Packet k starts before t when k * bits * clock < t * bitRate.
    const Wide ticksPerPacketTimesRate = Wide{kPacketBits} * kClockHz;
    return static_cast<std::uint64_t>((Wide{time27MHz} * bitRate + ticksPerPacketTimesRate - 1) /
                                      ticksPerPacketTimesRate);
}

void CTsGenerator::Validate(const SimStreamConfig& config) const {
    auto fail = [](const std::string& what) { throw std::invalid_argument(what); };
    if (config.bit_rate == 0 || config.bit_rate > kMaxBitRate) fail("bit rate out of range");
    if (config.services.size() > kMaxServices) fail("too many services");

    auto checkPid = [&](std::uint16_t pid, const std::string& what) {
        if (pid < kFirstFreePid || pid >= kNullPid) {
            fail(what + " PID " + std::to_string(pid) + " is reserved or out of range");
        }
    };
    std::set<std::uint16_t> serviceIds;
    std::set<std::uint16_t> pmtPids;
    std::set<std::uint16_t> streamPids;
    for (const SimServiceConfig& service : config.services) {
        if (!serviceIds.insert(service.service_id).second || service.service_id == 0) {
            fail("service_id " + std::to_string(service.service_id) + " is 0 or repeated");
        }
        checkPid(service.pmt_pid, "PMT");
        if (!pmtPids.insert(service.pmt_pid).second) fail("PMT PID repeated");
        checkPid(service.pcr_pid, "PCR");
        for (const SimElementaryStream& stream : service.streams) {
            checkPid(stream.pid, "stream");
            if (!streamPids.insert(stream.pid).second) {
                fail("stream PID " + std::to_string(stream.pid) + " repeated");
            }
            if (stream.bit_rate < MinimumStreamRate(stream.stream_type)) {
                fail("stream PID " + std::to_string(stream.pid) + ": bit rate below " +
                     std::to_string(MinimumStreamRate(stream.stream_type)));
            }
            // One PES per frame must fit the 16-bit PES_packet_length.
            if (!IsVideo(stream.stream_type) &&
                stream.bit_rate >
                    kMaxBoundedPackets * kPacketBits * kPtsHz / FrameTicks(stream.stream_type)) {
                fail("stream PID " + std::to_string(stream.pid) + ": bit rate too high for audio");
            }
        }
    }
    // A PCR PID is one of the service's own streams or a PID that carries only PCR.
    for (const SimServiceConfig& service : config.services) {
        const bool own =
            std::any_of(service.streams.begin(), service.streams.end(),
                        [&](const SimElementaryStream& s) { return s.pid == service.pcr_pid; });
        if (!own && (streamPids.count(service.pcr_pid) || pmtPids.count(service.pcr_pid))) {
            fail("PCR PID " + std::to_string(service.pcr_pid) + " belongs to something else");
        }
    }
    for (std::uint16_t pid : pmtPids) {
        if (streamPids.count(pid)) fail("PID " + std::to_string(pid) + " is both PMT and stream");
    }
}

void CTsGenerator::BuildTables(const SimStreamConfig& config) {
    // PAT: program 0 points at the NIT.
    Bytes pat = SectionHeader(0x00, false, config.transport_stream_id, 0, 0);
    if (config.with_nit) {
        Put16(pat, 0);
        Put16(pat, 0xE000u | kNitPid);
    }
    for (const SimServiceConfig& service : config.services) {
        Put16(pat, service.service_id);
        Put16(pat, 0xE000u | service.pmt_pid);  // reserved '111', PID
    }
    AddTable(0x0000, {FinishSection(std::move(pat))}, kPatPmtPeriodMs);

    for (const SimServiceConfig& service : config.services) {
        Bytes pmt = SectionHeader(0x02, false, service.service_id, 0, 0);
        Put16(pmt, 0xE000u | service.pcr_pid);
        PutLoopLength(pmt, 0);  // no program descriptors
        for (const SimElementaryStream& stream : service.streams) {
            pmt.push_back(stream.stream_type);
            Put16(pmt, 0xE000u | stream.pid);
            if (stream.descriptors.size() > 0x3FF)
                throw std::invalid_argument("ES descriptors too long");
            PutLoopLength(pmt, stream.descriptors.size());
            pmt.insert(pmt.end(), stream.descriptors.begin(), stream.descriptors.end());
        }
        AddTable(service.pmt_pid, {FinishSection(std::move(pmt))}, kPatPmtPeriodMs);
    }

    // SDT actual: as many sections as the service entries need.
    std::vector<Bytes> entries;
    for (const SimServiceConfig& service : config.services) {
        const Bytes descriptor = ServiceDescriptor(service);
        Bytes entry;
        Put16(entry, service.service_id);
        entry.push_back(0xFC);  // reserved_future_use, no EIT schedule, no EIT present/following
        // running_status, free_CA_mode 0, descriptors_loop_length
        Put16(entry,
              static_cast<unsigned>((service.running_status & 0x07) << 13) | descriptor.size());
        entry.insert(entry.end(), descriptor.begin(), descriptor.end());
        entries.push_back(std::move(entry));
    }
    constexpr std::size_t kSdtFixed = 11 + 4;  // header to reserved_future_use, CRC
    std::vector<std::vector<const Bytes*>> groups(1);
    std::size_t groupSize = kSdtFixed;
    for (const Bytes& entry : entries) {
        if (groupSize + entry.size() > kMaxSection) {
            groups.emplace_back();
            groupSize = kSdtFixed;
        }
        groups.back().push_back(&entry);
        groupSize += entry.size();
    }
    std::vector<Bytes> sdt;
    for (std::size_t i = 0; i < groups.size(); ++i) {
        Bytes section =
            SectionHeader(0x42, true, config.transport_stream_id, static_cast<std::uint8_t>(i),
                          static_cast<std::uint8_t>(groups.size() - 1));
        Put16(section, config.original_network_id);
        section.push_back(0xFF);  // reserved_future_use
        for (const Bytes* entry : groups[i])
            section.insert(section.end(), entry->begin(), entry->end());
        sdt.push_back(FinishSection(std::move(section)));
    }
    AddTable(kSdtPid, sdt, kSdtPeriodMs);

    if (!config.with_nit) return;
    Bytes nit = SectionHeader(0x40, true, config.network_id, 0, 0);
    const Bytes networkName = DvbText(config.network_name);
    if (networkName.size() > 255) throw std::invalid_argument("network name too long");
    PutLoopLength(nit, networkName.size() + 2);
    nit.push_back(0x40);  // network_name_descriptor
    nit.push_back(static_cast<std::uint8_t>(networkName.size()));
    nit.insert(nit.end(), networkName.begin(), networkName.end());
    Bytes transport;
    constexpr std::size_t kServicesPerList = 255 / 3;
    for (std::size_t first = 0; first < config.services.size(); first += kServicesPerList) {
        const std::size_t count = std::min(kServicesPerList, config.services.size() - first);
        transport.push_back(0x41);  // service_list_descriptor
        transport.push_back(static_cast<std::uint8_t>(count * 3));
        for (std::size_t i = first; i < first + count; ++i) {
            Put16(transport, config.services[i].service_id);
            transport.push_back(config.services[i].service_type);
        }
    }
    transport.insert(transport.end(), config.nit_transport_descriptors.begin(),
                     config.nit_transport_descriptors.end());
    if (transport.size() > 0x3FF) throw std::invalid_argument("NIT transport descriptors too long");
    PutLoopLength(nit, transport.size() + 6);
    Put16(nit, config.transport_stream_id);
    Put16(nit, config.original_network_id);
    PutLoopLength(nit, transport.size());
    nit.insert(nit.end(), transport.begin(), transport.end());
    AddTable(kNitPid, {FinishSection(std::move(nit))}, kNitPeriodMs);
}

void CTsGenerator::AddTable(std::uint16_t pid, const std::vector<Bytes>& sections,
                            std::uint64_t periodMs) {
    PsiTable table;
    table.pid = pid;
    // Each section opens a packet of its own (pointer_field 0); the tail is stuffed with 0xFF.
    for (const Bytes& section : sections) {
        std::size_t offset = 0;
        bool first = true;
        while (offset < section.size()) {
            std::array<std::uint8_t, kPacketSize> packet;
            packet.fill(0xFF);
            packet[0] = 0x47;
            packet[1] = static_cast<std::uint8_t>((first ? 0x40 : 0x00) | (pid >> 8));
            packet[2] = static_cast<std::uint8_t>(pid);
            packet[3] = 0x10;  // not scrambled, payload only, CC filled in when sent
            std::size_t at = 4;
            if (first) packet[at++] = 0x00;  // pointer_field
            const std::size_t count = std::min(section.size() - offset, kPacketSize - at);
            std::memcpy(packet.data() + at, section.data() + offset, count);
            offset += count;
            first = false;
            table.packets.insert(table.packets.end(), packet.begin(), packet.end());
        }
    }
    table.packetCount = table.packets.size() / kPacketSize;
    table.next = table.packetCount;
    table.periodMs = periodMs;
    table.due.Init(m_nBitRate * periodMs, kPacketBits * 1000);
    m_tables.push_back(std::move(table));
}

void CTsGenerator::BuildFlows(const SimStreamConfig& config) {
    m_nPcrIntervalSlots = MsToSlotsFloor(m_nBitRate, kPcrIntervalMs);
    m_nPcrGraceSlots = MsToSlotsFloor(m_nBitRate, kPcrGraceMs);

    std::uint64_t state = config.seed;
    m_payload.resize(kPayloadPool + kPayloadSize);
    // Bytes 1..255: no zero bytes, so no start code can appear inside a payload.
    for (std::uint8_t& byte : m_payload)
        byte = static_cast<std::uint8_t>(1 + SplitMix64(state) % 255);

    for (const SimServiceConfig& service : config.services) {
        std::uint8_t videoCount = 0;
        std::uint8_t audioCount = 0;
        for (const SimElementaryStream& stream : service.streams) {
            ElementaryFlow flow;
            flow.pid = stream.pid;
            flow.bounded = !IsVideo(stream.stream_type);
            if (stream.stream_type == kMpeg2Video) {
                flow.content = Content::TestCard;
                flow.video = m_videos.size();
                m_videos.push_back(
                    std::make_unique<CTestCardVideo>(service.service_name, stream.bit_rate));
            } else if (IsTone(stream.stream_type)) {
                flow.content = Content::Tone;
            }
            if (IsVideo(stream.stream_type)) {
                flow.streamId = static_cast<std::uint8_t>(0xE0 + (videoCount++ & 0x0F));
            } else if (IsMpegAudio(stream.stream_type)) {
                flow.streamId = static_cast<std::uint8_t>(0xC0 + (audioCount++ & 0x1F));
            } else {
                flow.streamId = 0xBD;  // private_stream_1 (AC-3, subtitles, ...)
            }
            flow.frameTicks = FrameTicks(stream.stream_type);
            flow.due.Init(m_nBitRate, stream.bit_rate);
            flow.frameEnd.Init(stream.bit_rate * flow.frameTicks, kPacketBits * kPtsHz);
            flow.pesStart = true;
            flow.payloadCursor = SplitMix64(state) % kPayloadPool;
            m_elementary.push_back(flow);
        }
    }
    for (const SimServiceConfig& service : config.services) {
        const bool known = std::any_of(m_pcr.begin(), m_pcr.end(),
                                       [&](const PcrFlow& f) { return f.pid == service.pcr_pid; });
        if (known) continue;  // services may share a PCR PID
        PcrFlow pcr;
        pcr.pid = service.pcr_pid;
        for (std::size_t i = 0; i < m_elementary.size(); ++i) {
            if (m_elementary[i].pid == pcr.pid) {
                pcr.elementary = i;
                m_elementary[i].pcrFlow = m_pcr.size();
            }
        }
        pcr.dueSlot = 0;
        pcr.forceSlot = m_nPcrGraceSlots;
        m_pcr.push_back(pcr);
    }

    // The tables and the PCR take precedence; whatever they leave must hold the streams.
    Wide demand = 0;  // bit/s times 1000, so that the table rates stay whole
    for (const SimServiceConfig& service : config.services) {
        for (const SimElementaryStream& stream : service.streams)
            demand += Wide{stream.bit_rate} * 1000;
    }
    for (const PsiTable& table : m_tables) {
        demand += Wide{table.packetCount} * kPacketBits * 1000 * 1000 / table.periodMs;
    }
    for (const PcrFlow& pcr : m_pcr) {
        if (pcr.elementary == kNone) demand += Wide{kPacketBits} * 1000 * 1000 / kPcrIntervalMs;
    }
    if (demand > Wide{m_nBitRate} * 1000) {
        throw std::invalid_argument("streams and tables need more than the bit rate of " +
                                    std::to_string(m_nBitRate));
    }
}

void CTsGenerator::Fill(std::uint8_t* destination, std::size_t packetCount) {
    for (std::size_t i = 0; i < packetCount; ++i) {
        WritePacket(destination + i * kPacketSize);
        ++m_nPackets;
    }
}

void CTsGenerator::WritePacket(std::uint8_t* packet) {
    const std::uint64_t slot = m_nPackets;
    for (PcrFlow& pcr : m_pcr) {
        if (slot < pcr.forceSlot) continue;
        // A tone between frames has nothing to send before its next frame is due.
        const bool waiting =
            pcr.elementary != kNone && m_elementary[pcr.elementary].content == Content::Tone &&
            m_elementary[pcr.elementary].pesStart && m_elementary[pcr.elementary].due.whole > slot;
        if (pcr.elementary != kNone && !waiting) {
            WriteElementary(m_elementary[pcr.elementary], packet, true);
        } else {
            WritePcrOnly(pcr, packet);
        }
        return;
    }
    for (PsiTable& table : m_tables) {
        if (table.next == table.packetCount && table.due.whole <= slot) {
            table.next = 0;
            table.due.Advance();
        }
        if (table.next < table.packetCount) {
            WritePsi(table, packet);
            return;
        }
    }
    ElementaryFlow* behind = nullptr;
    for (ElementaryFlow& flow : m_elementary) {
        if (flow.due.whole <= slot && (behind == nullptr || flow.due.whole < behind->due.whole)) {
            behind = &flow;
        }
    }
    if (behind != nullptr) {
        const bool pcr = behind->pcrFlow != kNone && slot >= m_pcr[behind->pcrFlow].dueSlot;
        WriteElementary(*behind, packet, pcr);
        return;
    }
    // Null packet: PID 0x1FFF, payload only, CC 0, stuffing bytes.
    packet[0] = 0x47;
    packet[1] = 0x1F;
    packet[2] = 0xFF;
    packet[3] = 0x10;
    std::memset(packet + 4, 0xFF, kPayloadSize);
}

std::uint8_t CTsGenerator::NextContinuity(std::uint16_t pid) {
    const std::uint8_t cc = m_continuity[pid];
    m_continuity[pid] = static_cast<std::uint8_t>((cc + 1) & 0x0F);
    return cc;
}

void CTsGenerator::WritePsi(PsiTable& table, std::uint8_t* packet) {
    std::memcpy(packet, table.packets.data() + table.next * kPacketSize, kPacketSize);
    packet[3] = static_cast<std::uint8_t>(packet[3] | NextContinuity(table.pid));
    ++table.next;
}

std::size_t CTsGenerator::WritePcrField(std::uint8_t* field) const {
    const std::uint64_t pcr = PacketTime(m_nBitRate, m_nFirstPacket + m_nPackets);
    const std::uint64_t base = (pcr / 300) & kPtsMask;  // 90 kHz, 33 bits
    const std::uint64_t extension = pcr % 300;          // 27 MHz remainder, 9 bits
    field[0] = static_cast<std::uint8_t>(base >> 25);
    field[1] = static_cast<std::uint8_t>(base >> 17);
    field[2] = static_cast<std::uint8_t>(base >> 9);
    field[3] = static_cast<std::uint8_t>(base >> 1);
    field[4] =
        static_cast<std::uint8_t>(((base & 1) << 7) | 0x7E | (extension >> 8));  // 6 reserved
    field[5] = static_cast<std::uint8_t>(extension);
    return 6;
}

void CTsGenerator::NotePcrSent(PcrFlow& flow) {
    flow.dueSlot = m_nPackets + m_nPcrIntervalSlots;
    flow.forceSlot = flow.dueSlot + m_nPcrGraceSlots;
}

void CTsGenerator::WritePcrOnly(PcrFlow& flow, std::uint8_t* packet) {
    packet[0] = 0x47;
    packet[1] = static_cast<std::uint8_t>(flow.pid >> 8);
    packet[2] = static_cast<std::uint8_t>(flow.pid);
    // Adaptation field only: the CC repeats the last one sent on this PID.
    packet[3] = static_cast<std::uint8_t>(0x20 | ((m_continuity[flow.pid] - 1) & 0x0F));
    packet[4] = 183;   // adaptation_field_length: the rest of the packet
    packet[5] = 0x10;  // PCR_flag
    WritePcrField(packet + 6);
    std::memset(packet + 12, 0xFF, kPacketSize - 12);
    NotePcrSent(flow);
}

void CTsGenerator::WriteElementary(ElementaryFlow& flow, std::uint8_t* packet, bool withPcr) {
    const bool start = flow.pesStart;
    std::size_t pesSize = 0;
    const std::uint64_t presentation = m_nPtsOrigin + flow.frameIndex * flow.frameTicks + kPtsDelay;
    if (start) {
        flow.frameEnd.Advance();
        flow.frameCursor = 0;
        switch (flow.content) {
            case Content::TestCard:
                flow.frame = m_videos[flow.video]->Picture(presentation);
                break;
            case Content::Tone:
                flow.frame = kMp2ToneFrame;
                break;
            case Content::Filler:
                flow.frame = {};
                break;
        }
        const std::size_t content = kPesHeaderSize + flow.frame.size();
        if (flow.content == Content::Tone) {
            pesSize = content;
        } else {
            // Pad the PES so that it ends where this frame's share of the rate ends; a stream
            // that fell behind gets a shorter frame and catches up.
            std::uint64_t packets =
                flow.frameEnd.whole > flow.packetIndex ? flow.frameEnd.whole - flow.packetIndex : 1;
            if (flow.bounded) packets = std::min(packets, kMaxBoundedPackets);
            pesSize = std::max(content, static_cast<std::size_t>(packets) * kPayloadSize);
        }
        flow.pesRemaining = pesSize;
    }
    // The packet that opens an I-picture (it begins with a sequence header) says so, so that a
    // receiver joining the stream knows where decoding can start.
    constexpr std::uint8_t kSequenceHeaderCode = 0xB3;
    const bool randomAccess = start && flow.content == Content::TestCard && flow.frame.size() > 3 &&
                              flow.frame[3] == kSequenceHeaderCode;
    const std::size_t flagsOnly = randomAccess && !withPcr ? 2 : 0;  // length and flags bytes
    const std::size_t capacity = kPayloadSize - (withPcr ? kPcrFieldSize : 0) - flagsOnly;
    const std::size_t carried = std::min(flow.pesRemaining, capacity);
    const std::size_t stuffing = capacity - carried;
    const bool adaptation = withPcr || randomAccess || stuffing > 0;

    packet[0] = 0x47;
    packet[1] = static_cast<std::uint8_t>((start ? 0x40 : 0x00) | (flow.pid >> 8));
    packet[2] = static_cast<std::uint8_t>(flow.pid);
    packet[3] = static_cast<std::uint8_t>((adaptation ? 0x30 : 0x10) | NextContinuity(flow.pid));
    std::uint8_t* out = packet + 4;
    if (adaptation) {
        const std::size_t fieldSize = (withPcr ? kPcrFieldSize : 0) + flagsOnly + stuffing;
        out[0] = static_cast<std::uint8_t>(fieldSize - 1);  // adaptation_field_length
        if (fieldSize >= 2) {
            // random_access_indicator, PCR_flag
            out[1] =
                static_cast<std::uint8_t>((randomAccess ? 0x40 : 0x00) | (withPcr ? 0x10 : 0x00));
            const std::size_t used = withPcr ? 2 + WritePcrField(out + 2) : 2;
            std::memset(out + used, 0xFF, fieldSize - used);
        }
        out += fieldSize;
    }
    std::size_t payload = carried;
    if (start) {
        // PTS only: there are no B-pictures, so decoding time is presentation time.
        const std::uint64_t pts = presentation & kPtsMask;
        // Video may leave PES_packet_length 0 (unbounded); its frames can exceed 64 KiB.
        const std::size_t length = flow.bounded ? pesSize - 6 : 0;
        out[0] = 0x00;
        out[1] = 0x00;
        out[2] = 0x01;
        out[3] = flow.streamId;
        out[4] = static_cast<std::uint8_t>(length >> 8);
        out[5] = static_cast<std::uint8_t>(length);
        out[6] = 0x80;  // '10', not scrambled, no priority/alignment/copyright flags
        out[7] = 0x80;  // PTS only
        out[8] = 0x05;  // PES_header_data_length
        out[9] =
            static_cast<std::uint8_t>(0x21 | ((pts >> 29) & 0x0E));  // '0010', PTS 32..30, marker
        out[10] = static_cast<std::uint8_t>(pts >> 22);
        out[11] = static_cast<std::uint8_t>(((pts >> 14) & 0xFE) | 0x01);
        out[12] = static_cast<std::uint8_t>(pts >> 7);
        out[13] = static_cast<std::uint8_t>(((pts << 1) & 0xFE) | 0x01);
        out += kPesHeaderSize;
        payload -= kPesHeaderSize;
    }
    if (flow.content == Content::Filler) {
        std::memcpy(out, m_payload.data() + flow.payloadCursor, payload);
        flow.payloadCursor = (flow.payloadCursor + payload) % kPayloadPool;
    } else {
        // The frame, then zero bytes: stuffing that a video decoder skips before a start code.
        const std::size_t fromFrame = std::min(payload, flow.frame.size() - flow.frameCursor);
        std::memcpy(out, flow.frame.data() + flow.frameCursor, fromFrame);
        std::memset(out + fromFrame, 0, payload - fromFrame);
        flow.frameCursor += fromFrame;
    }

    flow.pesRemaining -= carried;
    flow.pesStart = flow.pesRemaining == 0;
    ++flow.packetIndex;
    flow.due.Advance();
    if (flow.pesStart) {
        ++flow.frameIndex;
        // The tone is shorter than its share: its next frame waits for the share's start.
        if (flow.content == Content::Tone && flow.packetIndex < flow.frameEnd.whole) {
            flow.packetIndex = flow.frameEnd.whole;
            flow.due.Seek(flow.packetIndex);
        }
    }
    if (withPcr) NotePcrSent(m_pcr[flow.pcrFlow]);
}
