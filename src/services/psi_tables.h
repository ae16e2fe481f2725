#pragma once
// The tables a service list is made of, decoded from whole sections (checked by their CRC32),
// and the one section the single-service filter writes. The PAT and SDT decoders are the media
// layer's; here they are held to current sections of the actual transport stream.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/media/psi_section_parser.h"

struct PmtStream {
    std::uint8_t streamType = 0;
    std::uint16_t pid = 0;
    std::vector<std::uint8_t> descriptors;  // the ES_info loop, raw
};

struct PmtTable {
    std::uint16_t programNumber = 0;
    std::uint8_t version = 0;
    std::uint16_t pcrPid = 0;
    bool caDescriptor = false;  // in the program_info loop
    std::vector<PmtStream> streams;
};

namespace services {

inline constexpr std::uint16_t kPatPid = 0x0000;
inline constexpr std::uint16_t kSdtPid = 0x0011;
inline constexpr std::uint16_t kEitPid = 0x0012;
inline constexpr std::uint8_t kPatTableId = 0x00;
inline constexpr std::uint8_t kPmtTableId = 0x02;
inline constexpr std::uint8_t kSdtActualTableId = 0x42;
inline constexpr std::uint8_t kCaDescriptorTag = 0x09;

// Null for anything but one current (current_next_indicator set) section of the table with a
// valid CRC32 and a consistent layout.
std::optional<PatTable> DecodeCurrentPat(std::span<const std::uint8_t> section);
std::optional<PmtTable> DecodePmt(std::span<const std::uint8_t> section);
std::optional<SdtTable> DecodeSdtActual(std::span<const std::uint8_t> section);

// Whether a descriptor loop holds a descriptor with this tag.
bool HasDescriptor(std::span<const std::uint8_t> loop, std::uint8_t tag);

// A one-section PAT, current, with its CRC32.
std::vector<std::uint8_t> BuildPatSection(std::uint16_t transportStreamId, std::uint8_t version,
                                          const std::vector<PatProgram>& programs);

}  // namespace services
