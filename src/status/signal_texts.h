#pragma once
// The page's words for the signal in physical units: what the card measured and what the tuned
// MODCOD needs. What the card does not report reads "not reported", never a guess.
#include <optional>
#include <string>

#include "graph/driver_control.h"
#include "platform/ks/vendor_records.h"

inline constexpr const char* kNotReported = "not reported";
inline constexpr const char* kNoLock = "no lock";

struct SignalTexts {
    std::string modCod;          // "DVB-S2 8PSK 2/3"
    std::string carrierToNoise;  // "12.3 dB"
    std::string required;        // "6.6 dB"
    std::string margin;          // "+5.7 dB"
    std::string level;           // "-45.2 dBm"
    std::string bitErrorRate;    // "2.0e-06", "0"
    std::string uncorrected;     // "17"

    bool operator==(const SignalTexts&) const = default;
};

// A figure in dB or dBm to a tenth ("12.3 dB", "-45.2 dBm", never "-0.0"); "not reported"
// without one.
std::string DecibelText(std::optional<double> value);
std::string DecibelMilliwattText(std::optional<double> value);

// `carrier` is the carrier report of the lock, or none while unlocked; the needed C/N and the
// margin follow from its MODCOD.
SignalTexts DescribeSignal(const SignalMeasureResult& measure,
                           const std::optional<MediaInfoRecord>& carrier);
