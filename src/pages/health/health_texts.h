#pragma once
// What the "Stream Health" page shows and exports of a stream's health, without Qt: the state
// and words of each indicator's light, the rows of the PID table, the rate against the carrier's,
// and the CSV file.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "services/stream_health.h"

namespace health_texts {

enum class Light {
    Unknown,  // grey: nothing to judge it by yet
    Good,     // green: no error since the last reset
    Bad,      // red: errors since the last reset, or in error now
};

// An indicator that needs the stream's time (the PCRs' rate) is not judged before that is known;
// the others from the first packet.
Light LightOf(const StreamHealth& health, HealthIndicator indicator);
// On the light: "CC: 3"; "CC: -" while grey.
std::string LightText(const StreamHealth& health, HealthIndicator indicator);
// For assistive technology and the tooltip: "CC: 3 errors", "PAT: 1 error, in error now",
// "PCR accuracy: not judged yet".
std::string SpokenText(const StreamHealth& health, HealthIndicator indicator);

// PID ("256 (0x0100)"), service, stream type, Mbit/s, share %, CC errors, scrambled, PCR.
inline constexpr std::size_t kPidColumns = 8;
using PidRow = std::array<std::string, kPidColumns>;
std::array<const char*, kPidColumns> PidHeadings();
// One row per PID, in PID order; a PID's rate is its share of the stream's rate.
std::vector<PidRow> PidRows(const StreamHealth& health);
// What a PID carries: its stream's codec ("MPEG-2 video"), its table ("PAT", "PMT", "SDT/BAT"),
// "Null packets", or "-".
std::string StreamTypeText(const PidHealth& pid);

// "38.01 of 38.02 Mbit/s useful", "38.01 Mbit/s" when the carrier's useful rate is not known,
// "not known yet" before the stream's PCRs have told it.
std::string RateText(std::optional<double> bitRate, std::optional<double> usefulRate);

// Two tables one after the other, a blank line between them: "Indicator,Count,In error now"
// with a line per indicator, then "PID,PID (hex),Service,Stream type,Bit rate (bit/s),
// Share (%),CC errors,Scrambled,PCR" with a line per PID. RFC 4180 quoting, CRLF line ends, '.'
// as the decimal point; an empty field for what is not known.
std::string Csv(const StreamHealth& health);

}  // namespace health_texts
