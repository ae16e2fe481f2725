#include "data/listed_transponder.h"

#include <fmt/format.h>

#include <cmath>

TunerEntry TunerEntryOf(const SatelliteTransponder& transponder) {
    TunerEntry entry;
    entry.frequencyMHz = std::to_string(std::lround(transponder.frequencyMHz));
    entry.symbolRateKsps = std::to_string(transponder.symbolRateKsps);
    entry.polarityIndex =
        transponder.polarisation == 'V' || transponder.polarisation == 'R' ? 1 : 0;
    return entry;
}

std::array<std::string, kTransponderColumns> TransponderRowTexts(
    const SatelliteTransponder& transponder) {
    const auto orDash = [](const std::string& text) {
        return text.empty() ? std::string("-") : text;
    };
    std::string frequency = FormatTransponderLine(transponder);
    frequency.resize(frequency.find(','));
    return {frequency,
            std::string(1, transponder.polarisation),
            std::to_string(transponder.symbolRateKsps),
            orDash(transponder.deliverySystem),
            orDash(transponder.modulation),
            transponder.fec};
}

std::string SatelliteLabel(const SatelliteFile& satellite) {
    const int tenths = satellite.orbitalTenthsEast;
    const bool west = tenths > 1800;
    const int magnitude = west ? 3600 - tenths : tenths;
    return fmt::format("{}.{}{}  {}", magnitude / 10, magnitude % 10, west ? 'W' : 'E',
                       satellite.name);
}
