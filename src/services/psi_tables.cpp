#include "services/psi_tables.h"

#include "platform/media/mpeg2_crc32.h"

namespace services {

namespace {

std::uint16_t Be16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>((bytes[at] << 8) | bytes[at + 1]);
}

// The 12-bit length of a section header or of a descriptor loop.
std::size_t Length12(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::size_t>(((bytes[at] & 0x0F) << 8) | bytes[at + 1]);
}

// A long-form, current section of `tableId`, exactly 3 + section_length bytes, CRC32 valid.
bool IsCurrentSection(std::span<const std::uint8_t> section, std::uint8_t tableId,
                      std::size_t minSize) {
    if (section.size() < minSize || section[0] != tableId) return false;
    if ((section[1] & 0x80) == 0) return false;  // section_syntax_indicator
    if (3 + Length12(section, 1) != section.size()) return false;
    if ((section[5] & 0x01) == 0) return false;  // current_next_indicator: not yet valid
    return CPsiSectionParser::CheckCrc(section);
}

std::uint8_t VersionOf(std::span<const std::uint8_t> section) {
    return static_cast<std::uint8_t>((section[5] >> 1) & 0x1F);
}

}  // namespace

bool HasDescriptor(std::span<const std::uint8_t> loop, std::uint8_t tag) {
    for (std::size_t pos = 0; pos + 2 <= loop.size(); pos += 2 + loop[pos + 1]) {
        if (loop[pos] == tag) return true;
    }
    return false;
}

std::optional<PatTable> DecodeCurrentPat(std::span<const std::uint8_t> section) {
    if (!IsCurrentSection(section, kPatTableId, 12)) return std::nullopt;
    return CPsiSectionParser::DecodePat(section);
}

std::optional<PmtTable> DecodePmt(std::span<const std::uint8_t> section) {
    // 12 header bytes (up to program_info_length), 4 CRC bytes.
    if (!IsCurrentSection(section, kPmtTableId, 16)) return std::nullopt;
    const std::size_t end = section.size() - 4;
    PmtTable pmt;
    pmt.programNumber = Be16(section, 3);
    pmt.version = VersionOf(section);
    pmt.pcrPid = Be16(section, 8) & 0x1FFF;
    const std::size_t programInfoEnd = 12 + Length12(section, 10);
    if (programInfoEnd > end) return std::nullopt;
    pmt.caDescriptor = HasDescriptor(section.subspan(12, programInfoEnd - 12), kCaDescriptorTag);
    std::size_t pos = programInfoEnd;
    while (pos < end) {
        // stream_type(8) reserved(3) elementary_PID(13) reserved(4) ES_info_length(12)
        if (pos + 5 > end) return std::nullopt;
        PmtStream stream;
        stream.streamType = section[pos];
        stream.pid = Be16(section, pos + 1) & 0x1FFF;
        const std::size_t infoEnd = pos + 5 + Length12(section, pos + 3);
        if (infoEnd > end) return std::nullopt;
        stream.descriptors.assign(section.begin() + static_cast<std::ptrdiff_t>(pos + 5),
                                  section.begin() + static_cast<std::ptrdiff_t>(infoEnd));
        pmt.streams.push_back(std::move(stream));
        pos = infoEnd;
    }
    return pmt;
}

std::optional<SdtTable> DecodeSdtActual(std::span<const std::uint8_t> section) {
    if (!IsCurrentSection(section, kSdtActualTableId, 15)) return std::nullopt;
    return CPsiSectionParser::DecodeSdt(section);
}

std::vector<std::uint8_t> BuildPatSection(std::uint16_t transportStreamId, std::uint8_t version,
                                          const std::vector<PatProgram>& programs) {
    const std::size_t sectionLength = 5 + 4 * programs.size() + 4;
    std::vector<std::uint8_t> section;
    section.reserve(3 + sectionLength);
    section.push_back(kPatTableId);
    // section_syntax_indicator, '0', reserved '11', section_length high bits
    section.push_back(static_cast<std::uint8_t>(0xB0 | ((sectionLength >> 8) & 0x0F)));
    section.push_back(static_cast<std::uint8_t>(sectionLength & 0xFF));
    section.push_back(static_cast<std::uint8_t>(transportStreamId >> 8));
    section.push_back(static_cast<std::uint8_t>(transportStreamId & 0xFF));
    section.push_back(static_cast<std::uint8_t>(0xC1 | ((version & 0x1F) << 1)));  // current
    section.push_back(0x00);                                                       // section_number
    section.push_back(0x00);  // last_section_number
    for (const PatProgram& program : programs) {
        section.push_back(static_cast<std::uint8_t>(program.programNumber >> 8));
        section.push_back(static_cast<std::uint8_t>(program.programNumber & 0xFF));
        section.push_back(static_cast<std::uint8_t>(0xE0 | ((program.pid >> 8) & 0x1F)));
        section.push_back(static_cast<std::uint8_t>(program.pid & 0xFF));
    }
    AppendMpeg2Crc32(section);
    return section;
}

}  // namespace services
