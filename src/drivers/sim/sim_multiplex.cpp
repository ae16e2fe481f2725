#include "drivers/sim/sim_multiplex.h"

#include <algorithm>
#include <array>
#include <set>
#include <string>
#include <string_view>

namespace {

constexpr std::array<std::string_view, 24> kPrefixes = {
    "Alpen", "Nord",   "Sued",  "Ost",   "West",  "Euro",   "Sky",    "Star",
    "Nova",  "Delta",  "Orion", "Atlas", "Luna",  "Sol",    "Polar",  "Aurora",
    "Vega",  "Sirius", "Terra", "Rhein", "Adria", "Baltic", "Iberia", "Helvet",
};
constexpr std::array<std::string_view, 16> kSuffixes = {
    "TV",   "News", "Sport",  "Kino",    "Music", "Kids", "Doku", "Info",
    "Shop", "Life", "Travel", "Classic", "Plus",  "24",   "HD",   "Eins",
};

std::uint64_t SplitMix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

int PolarisationIndex(char polarisation) {
    switch (polarisation) {
        case 'V':
            return 1;
        case 'L':
            return 2;
        case 'R':
            return 3;
        default:
            return 0;
    }
}

std::uint16_t OriginalNetworkId(int tenthsEast) {
    switch (tenthsEast) {
        case 192:
            return 1;
        case 130:
            return 318;
        case 282:
            return 2;
        default:
            return static_cast<std::uint16_t>(0x1000 + tenthsEast);
    }
}

}  // namespace

std::uint64_t MultiplexSeed(const SimCarrier& carrier, int inputStreamId, std::uint64_t seed) {
    std::uint64_t h = SplitMix(seed);
    h = SplitMix(h ^ static_cast<std::uint64_t>(carrier.orbitalTenthsEast));
    h = SplitMix(h ^ carrier.frequencyKHz);
    h = SplitMix(h ^ static_cast<std::uint64_t>(PolarisationIndex(carrier.polarisation)));
    return SplitMix(h ^ static_cast<std::uint64_t>(inputStreamId + 1));
}

SimStreamConfig MakeCarrierMultiplex(const SimCarrier& carrier, int inputStreamId,
                                     std::uint64_t bitRate, std::uint64_t seed) {
    const std::uint64_t hash = MultiplexSeed(carrier, inputStreamId, seed);
    const std::uint32_t mhz = carrier.frequencyKHz / 1000;
    std::uint32_t tsid =
        (mhz % 16000) * 4 + static_cast<std::uint32_t>(PolarisationIndex(carrier.polarisation));
    if (!carrier.inputStreams.empty()) tsid += 1000u * static_cast<std::uint32_t>(inputStreamId);
    const std::uint64_t services =
        std::clamp<std::uint64_t>((bitRate + 4'999'999) / 5'000'000, 1, 12);
    const std::string network = carrier.satellite.empty() ? std::string("Sim") : carrier.satellite;
    SimStreamConfig config = MakeSimStreamConfig(static_cast<std::uint16_t>(tsid & 0xFFFF),
                                                 OriginalNetworkId(carrier.orbitalTenthsEast),
                                                 bitRate, services, network, hash);
    std::set<std::string> used;
    std::uint64_t pick = hash;
    for (SimServiceConfig& service : config.services) {
        std::string name;
        std::string_view prefix;
        do {
            pick = SplitMix(pick);
            prefix = kPrefixes[pick % kPrefixes.size()];
            name =
                std::string(prefix) + " " + std::string(kSuffixes[(pick >> 16) % kSuffixes.size()]);
        } while (!used.insert(name).second);
        service.service_name = name;
        service.provider_name = std::string(prefix) + " Media";
    }
    return config;
}
