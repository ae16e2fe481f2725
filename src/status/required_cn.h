#pragma once
// The C/N a carrier needs for quasi-error-free reception, and its MODCOD as one line of text, for
// the carrier the report names (MediaInfoRecord: standard 0 DVB-S / 1 DVB-S2, the DVB-S2 MODCOD,
// the DVB-S code-rate index 0..7 = 1/2, 2/3, 3/4, 4/5, 5/6, 6/7, 7/8, 8/9).
//
// DVB-S2: Es/N0 of EN 302 307-1 table 13 for MODCODs 1..28, normal frames. DVB-S: Eb/N0 after
// Viterbi of EN 300 421 (1/2 4.5, 2/3 5.0, 3/4 5.5, 5/6 6.0, 7/8 6.4 dB) as C/N = Eb/N0 +
// 10 log10(2 R 188/204). Anything else (DVB-S 4/5, 6/7, 8/9, the extended codes of the x-model
// cards) has no published figure here: nullopt.
//
// The simulated card keeps its own copy of these figures, as a card's firmware does.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/ks/vendor_records.h"

namespace required_cn {

inline constexpr std::int32_t kStandardDvbS = 0;
inline constexpr std::int32_t kStandardDvbS2 = 1;

// dB.
std::optional<double> RequiredCarrierToNoise(std::int32_t standard, std::int32_t modCode,
                                             std::int32_t dvbsCodeRate);
std::optional<double> RequiredCarrierToNoise(const MediaInfoRecord& report);

// "DVB-S2 8PSK 2/3", "DVB-S 3/4"; nullopt for a code it does not know.
std::optional<std::string> ModCodText(std::int32_t standard, std::int32_t modCode,
                                      std::int32_t dvbsCodeRate);
std::optional<std::string> ModCodText(const MediaInfoRecord& report);

}  // namespace required_cn
