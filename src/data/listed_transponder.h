#pragma once
// A transponder of a satellite file as the transponder list shows it and as the Tuner Setting
// page takes it.
#include <array>
#include <cstdint>
#include <string>

#include "data/satellite_file.h"

// What goes into the Tuner Setting page: whole MHz (the field takes digits only; 10714.25 is
// 10714, 10714.5 is 10715), kSps, and the polarity the LNB voltage gives (0 "Horizontal" for H
// and circular left, 1 "Vertical" for V and circular right, as LNBs for circular carriers are
// switched).
struct TunerEntry {
    std::string frequencyMHz;
    std::string symbolRateKsps;
    std::int32_t polarityIndex = 0;

    bool operator==(const TunerEntry&) const = default;
};

TunerEntry TunerEntryOf(const SatelliteTransponder& transponder);

// The list's columns: frequency (as written, "10714.25"), polarisation, symbol rate, delivery
// system, modulation and FEC; an unstated delivery system or modulation reads "-".
inline constexpr std::size_t kTransponderColumns = 6;
std::array<std::string, kTransponderColumns> TransponderRowTexts(
    const SatelliteTransponder& transponder);

// "19.2E  Astra", "5.0W  Thor": the orbital position as dish installers write it, then the name.
std::string SatelliteLabel(const SatelliteFile& satellite);
