// The PSI tables of the service list (PAT, PMT, SDT actual and other) through their decoders and
// through the service scanner. Arbitrary bytes almost never carry a valid CRC32, so the input
// holds section contents and this target builds the sections around them: it sets
// section_length and appends the right CRC32, and the decoders are reached. The sections then go
// on their PIDs, back to back in packets with running continuity counters, to the scanner.
//
// The input is a run of chunks, each:
//   kind        bits 0-1: 0 PAT, 1 PMT, 2 SDT actual, 3 SDT other;
//               for a PMT, bit 7 set: on the PID and with the program number of PAT entry
//               (bits 2-6) modulo the entries seen so far; else on PID 0x100 + (bits 2-6)
//   length      two bytes, little-endian: the size of the body (12 bits, cut to what is left)
//   header      five bytes: table_id_extension, version/current_next, section_number,
//               last_section_number
//   body        the bytes after the header, up to the CRC32
#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz_support.h"
#include "platform/media/mpeg2_crc32.h"
#include "platform/media/psi_section_parser.h"
#include "services/psi_tables.h"
#include "services/service_scanner.h"
#include "services/ts_builder.h"

namespace {

enum Table : std::uint8_t { kPat, kPmt, kSdtActual, kSdtOther };
constexpr std::array<std::uint8_t, 4> kTableIds = {services::kPatTableId, services::kPmtTableId,
                                                   services::kSdtActualTableId, 0x46};
constexpr std::size_t kHeaderBytes = 5;
// section_length is 12 bits and counts the header and the CRC32.
constexpr std::size_t kMaxBody = 0x0FFF - kHeaderBytes - 4;

struct Chunk {
    std::uint8_t kind = 0;
    std::array<std::uint8_t, kHeaderBytes> header{};
    Bytes body;
};

Chunk NextChunk(fuzz::CByteReader& input) {
    Chunk chunk;
    chunk.kind = input.U8();
    const std::size_t wanted = std::min<std::size_t>(input.U16() & 0x0FFF, kMaxBody);
    input.Bytes(chunk.header.data(), chunk.header.size());
    chunk.body.resize(std::min(wanted, input.Size()));
    input.Bytes(chunk.body.data(), chunk.body.size());
    return chunk;
}

Bytes BuildSection(std::uint8_t tableId, const std::array<std::uint8_t, kHeaderBytes>& header,
                   const Bytes& body) {
    const std::size_t length = kHeaderBytes + body.size() + 4;
    // section_syntax_indicator, '0', reserved '11', then the length.
    Bytes section{tableId, static_cast<std::uint8_t>(0xB0 | (length >> 8)),
                  static_cast<std::uint8_t>(length & 0xFF)};
    section.insert(section.end(), header.begin(), header.end());
    section.insert(section.end(), body.begin(), body.end());
    AppendMpeg2Crc32(section);
    return section;
}

bool IsUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<std::uint8_t>(text[at]);
        const std::size_t size = lead < 0x80                   ? 1
                                 : lead >= 0xC2 && lead < 0xE0 ? 2
                                 : lead >= 0xE0 && lead < 0xF0 ? 3
                                 : lead >= 0xF0 && lead < 0xF5 ? 4
                                                               : 0;
        if (size == 0 || at + size > text.size()) return false;
        std::uint32_t code = size == 1 ? lead : lead & (0x7F >> size);
        for (std::size_t i = 1; i < size; ++i) {
            const auto next = static_cast<std::uint8_t>(text[at + i]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kSmallest[size] || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000))
            return false;
        at += size;
    }
    return true;
}

// What every decoder must make of one section this target built: the header it was given, and
// no table from the same section with a CRC32 or a length that no longer fits.
void CheckDecoders(Table table, const Bytes& section, const Chunk& chunk) {
    const std::uint16_t extension = static_cast<std::uint16_t>(section[3] << 8 | section[4]);
    const std::uint8_t version = (section[5] >> 1) & 0x1F;
    const bool current = (section[5] & 0x01) != 0;
    switch (table) {
        case kPat: {
            const auto pat = CPsiSectionParser::DecodePat(section);
            FUZZ_CHECK(pat.has_value() == (chunk.body.size() % 4 == 0));
            const auto currentPat = services::DecodeCurrentPat(section);
            FUZZ_CHECK(currentPat.has_value() == (pat && current));
            if (!pat) break;
            FUZZ_CHECK(pat->transportStreamId == extension && pat->version == version);
            FUZZ_CHECK(pat->currentNext == current);
            FUZZ_CHECK(pat->sectionNumber == section[6] && pat->lastSectionNumber == section[7]);
            FUZZ_CHECK(pat->programs.size() == chunk.body.size() / 4);
            if (currentPat) FUZZ_CHECK(currentPat->programs == pat->programs);
            break;
        }
        case kPmt:
            if (const auto pmt = services::DecodePmt(section)) {
                FUZZ_CHECK(current && pmt->programNumber == extension && pmt->version == version);
                // The program_info loop's 4 bytes of header, then 5 bytes a stream plus its loop.
                std::size_t used = 4;
                for (const PmtStream& stream : pmt->streams) used += 5 + stream.descriptors.size();
                FUZZ_CHECK(used <= chunk.body.size());
            }
            break;
        case kSdtActual:
        case kSdtOther: {
            const auto sdt = CPsiSectionParser::DecodeSdt(section);
            const auto actual = services::DecodeSdtActual(section);
            FUZZ_CHECK(actual.has_value() == (sdt && table == kSdtActual && current));
            if (!sdt) break;
            FUZZ_CHECK(sdt->tableId == section[0] && sdt->transportStreamId == extension);
            FUZZ_CHECK(sdt->version == version && sdt->sectionNumber == section[6]);
            FUZZ_CHECK(sdt->originalNetworkId == (chunk.body[0] << 8 | chunk.body[1]));
            for (const SdtService& service : sdt->services)
                FUZZ_CHECK(IsUtf8(service.name) && IsUtf8(service.provider));
            if (actual) FUZZ_CHECK(actual->services == sdt->services);
            break;
        }
    }

    Bytes damaged = section;
    damaged.back() ^= 0x01;
    Bytes longer = section;
    longer.push_back(0x00);
    for (const Bytes& bad : {damaged, longer}) {
        FUZZ_CHECK(!CPsiSectionParser::DecodePat(bad) && !services::DecodeCurrentPat(bad));
        FUZZ_CHECK(!services::DecodePmt(bad));
        FUZZ_CHECK(!CPsiSectionParser::DecodeSdt(bad) && !services::DecodeSdtActual(bad));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::CByteReader input({data, size});
    std::vector<PatProgram> patEntries;  // of every PAT built so far, the network entry left out
    std::vector<std::pair<std::uint16_t, std::vector<Bytes>>> runs;  // sections by PID, in order
    while (!input.Empty()) {
        Chunk chunk = NextChunk(input);
        const auto table = static_cast<Table>(chunk.kind & 0x03);
        const std::uint8_t choice = (chunk.kind >> 2) & 0x1F;
        std::uint16_t pid = table == kPat ? services::kPatPid : services::kSdtPid;
        if (table == kPmt) {
            pid = static_cast<std::uint16_t>(0x0100 + choice);
            if ((chunk.kind & 0x80) != 0 && !patEntries.empty()) {
                const PatProgram& entry = patEntries[choice % patEntries.size()];
                pid = entry.pid;
                chunk.header[0] = static_cast<std::uint8_t>(entry.programNumber >> 8);
                chunk.header[1] = static_cast<std::uint8_t>(entry.programNumber & 0xFF);
            }
        }
        Bytes section = BuildSection(kTableIds[table], chunk.header, chunk.body);
        CheckDecoders(table, section, chunk);
        if (table == kPat) {
            if (const auto pat = CPsiSectionParser::DecodePat(section)) {
                for (const PatProgram& program : pat->programs)
                    if (program.programNumber != 0) patEntries.push_back(program);
            }
        }
        if (runs.empty() || runs.back().first != pid) runs.emplace_back(pid, std::vector<Bytes>{});
        runs.back().second.push_back(std::move(section));
    }

    CTsBuilder packets;
    std::vector<Bytes> stream;
    for (const auto& [pid, sections] : runs) stream.push_back(packets.Sections(pid, sections));
    Bytes whole;
    for (const Bytes& piece : stream) whole.insert(whole.end(), piece.begin(), piece.end());

    CServiceScanner scanner;
    scanner.Consume(whole);
    const std::vector<ServiceInfo> services = scanner.Snapshot();
    const bool complete = scanner.IsComplete();
    const std::uint64_t bad = scanner.BadSections();
    // Listed by program number, once each, the network entry left out.
    for (std::size_t i = 0; i < services.size(); ++i) {
        FUZZ_CHECK(services[i].serviceNumber != 0);
        if (i > 0) FUZZ_CHECK(services[i - 1].serviceNumber < services[i].serviceNumber);
        if (complete) FUZZ_CHECK(services[i].pmtSeen);
        FUZZ_CHECK(IsUtf8(services[i].name) && IsUtf8(services[i].provider));
    }

    // After a Reset nothing of the first pass is left: the same packets, given a run at a time
    // this once, give the same list.
    scanner.Reset();
    FUZZ_CHECK(scanner.Snapshot().empty() && !scanner.IsComplete() && scanner.BadSections() == 0);
    for (const Bytes& piece : stream) scanner.Consume(piece);
    FUZZ_CHECK(scanner.Snapshot() == services);
    FUZZ_CHECK(scanner.IsComplete() == complete && scanner.BadSections() == bad);
    return 0;
}
