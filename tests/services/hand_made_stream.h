#pragma once
// A small transport stream written by hand, byte by byte: two services, one scrambled with a CA
// descriptor and free_CA_mode, H.264 with AC-3, teletext and subtitles, the other HEVC with
// E-AC-3, AAC and MPEG audio and a UTF-8 name; the SDT in two sections that share a packet and
// run over several.
#include <cstdint>

#include "ts_builder.h"

namespace hand_made {

inline constexpr std::uint16_t kTsid = 0x0456;
inline constexpr std::uint16_t kFirst = 0x0101;   // its PMT on 0x0100, PCR on 0x0111
inline constexpr std::uint16_t kSecond = 0x0202;  // its PMT on 0x0200, PCR on 0x0221

Bytes PatSection(std::uint8_t version = 0, std::uint16_t transportStreamId = kTsid);
Bytes FirstPmt();
Bytes SecondPmt(std::uint8_t version = 0, bool withAac = true);
// Section 0 (the first service) and 1 (the second, and one that the PAT does not list).
Bytes SdtSection(
    std::uint8_t number, std::uint8_t version = 0,
    const std::string& secondName = "\x15\xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1");

// PAT, both PMTs and both SDT sections, once.
Bytes Stream(CTsBuilder& ts);

}  // namespace hand_made
