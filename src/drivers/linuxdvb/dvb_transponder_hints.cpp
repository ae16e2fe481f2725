#include "drivers/linuxdvb/dvb_transponder_hints.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "drivers/linuxdvb/dvb_api.h"
#include "drivers/linuxdvb/dvb_carrier_settings.h"

namespace linuxdvb {

namespace {

// Listed frequencies are rounded, and LNB drift moves a carrier by a few MHz.
constexpr double kFrequencyToleranceMHz = 3.0;
constexpr double kSymbolRateTolerance = 0.02;

std::optional<std::uint32_t> DeliverySystemOf(const std::string& text) {
    if (text == "DVB-S") return SYS_DVBS;
    if (text == "DVB-S2") return SYS_DVBS2;
    return std::nullopt;
}

bool SamePolarisation(char listed, std::int32_t requested) {
    switch (requested) {
        case 1:
            return listed == 'H';
        case 2:
            return listed == 'V';
        case 3:
            return listed == 'L';
        case 4:
            return listed == 'R';
        default:
            return true;
    }
}

// The value most descriptions give, or none when the two most given tie.
template <typename T>
std::optional<T> Majority(const std::vector<std::optional<T>>& values) {
    std::map<T, int> counts;
    for (const auto& value : values) {
        if (value) ++counts[*value];
    }
    std::optional<T> best;
    int bestCount = 0;
    bool tie = false;
    for (const auto& [value, count] : counts) {
        if (count > bestCount) {
            best = value;
            bestCount = count;
            tie = false;
        } else if (count == bestCount) {
            tie = true;
        }
    }
    return tie ? std::nullopt : best;
}

}  // namespace

CDvbTransponderHints::CDvbTransponderHints(std::string transpondersFolder)
    : m_strFolder(std::move(transpondersFolder)) {}

CDvbTransponderHints::CDvbTransponderHints(std::vector<SatelliteFile> satellites)
    : m_satellites(std::move(satellites)) {
    std::call_once(m_loaded, [this] { IndexByFrequency(); });
}

void CDvbTransponderHints::IndexByFrequency() {
    for (const SatelliteFile& satellite : m_satellites) {
        for (const SatelliteTransponder& transponder : satellite.transponders)
            m_byFrequency.push_back(&transponder);
    }
    std::sort(m_byFrequency.begin(), m_byFrequency.end(),
              [](const SatelliteTransponder* a, const SatelliteTransponder* b) {
                  return a->frequencyMHz < b->frequencyMHz;
              });
}

const std::vector<const SatelliteTransponder*>& CDvbTransponderHints::ByFrequency() {
    std::call_once(m_loaded, [this] {
        m_satellites = ReadSatelliteFolder(m_strFolder);
        IndexByFrequency();
    });
    return m_byFrequency;
}

DvbTransponderHint CDvbTransponderHints::Find(std::uint32_t frequencyKHz, std::int32_t polarisation,
                                              std::uint32_t symbolRate) {
    std::vector<std::optional<std::uint32_t>> systems;
    std::vector<std::optional<std::uint32_t>> modulations;
    std::vector<std::optional<std::uint32_t>> rates;
    const double frequencyMHz = frequencyKHz / 1000.0;
    // A hair wider than the tolerance, so that rounding leaves out nothing the check takes.
    const double reach = kFrequencyToleranceMHz + 1e-6;
    const std::vector<const SatelliteTransponder*>& listed = ByFrequency();
    auto it = std::partition_point(listed.begin(), listed.end(), [&](const auto* transponder) {
        return transponder->frequencyMHz < frequencyMHz - reach;
    });
    for (; it != listed.end() && (*it)->frequencyMHz <= frequencyMHz + reach; ++it) {
        const SatelliteTransponder& transponder = **it;
        const double listedRate = transponder.symbolRateKsps * 1000.0;
        if (std::fabs(transponder.frequencyMHz - frequencyMHz) > kFrequencyToleranceMHz ||
            !SamePolarisation(transponder.polarisation, polarisation) ||
            std::fabs(listedRate - symbolRate) > listedRate * kSymbolRateTolerance) {
            continue;
        }
        const auto system = DeliverySystemOf(transponder.deliverySystem);
        systems.push_back(system);
        // DVB-S has one modulation and every demodulator finds its code rate.
        if (system == SYS_DVBS2) {
            modulations.push_back(ModulationFromText(transponder.modulation));
            rates.push_back(StatedFecFromText(transponder.fec));
        }
    }
    DvbTransponderHint hint;
    hint.deliverySystem = Majority(systems);
    if (hint.deliverySystem == SYS_DVBS2) {
        hint.modulation = Majority(modulations);
        hint.innerFec = Majority(rates);
    }
    return hint;
}

}  // namespace linuxdvb
