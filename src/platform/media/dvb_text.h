#pragma once
// DVB text fields (service and provider names) as UTF-8.
#include <cstdint>
#include <span>
#include <string>

// A text field of an SI descriptor: no selector means the Latin table (ISO 6937 with its
// non-spacing accents before the letter); 0x01..0x0B and 0x10 0x00 nn select ISO 8859 parts,
// 0x11 two-byte UCS-2, 0x12..0x14 the Korean, simplified and traditional Chinese tables and 0x15
// UTF-8. Control codes (emphasis, line breaks, 0x80..0x9F) are left out; a byte that does not
// decode becomes U+FFFD. Selector 0x1F (compressed text) gives an empty text.
std::string DecodeDvbText(std::span<const std::uint8_t> text);
