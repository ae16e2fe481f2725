#include "drivers/sim/sim_sky.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <numeric>
#include <optional>
#include <set>
#include <string_view>
#include <tuple>
#include <utility>

namespace {

using dvb_rate::CodeRate;
using dvb_rate::Modulation;

// Two carriers of a position and polarisation less than this apart are one (the first one read).
constexpr std::uint32_t kSlotWidthKHz = 1000;

std::optional<CodeRate> ParseRate(const std::string& text) {
    // A constant table, not a static map: the reading thread may still run while the program's
    // statics are destroyed at its end, and a destroyed map sent it round in circles.
    static constexpr std::pair<std::string_view, CodeRate> kRates[] = {
        {"1/4", CodeRate::R1_4}, {"1/3", CodeRate::R1_3}, {"2/5", CodeRate::R2_5},
        {"1/2", CodeRate::R1_2}, {"3/5", CodeRate::R3_5}, {"2/3", CodeRate::R2_3},
        {"3/4", CodeRate::R3_4}, {"4/5", CodeRate::R4_5}, {"5/6", CodeRate::R5_6},
        {"7/8", CodeRate::R7_8}, {"8/9", CodeRate::R8_9}, {"9/10", CodeRate::R9_10},
    };
    for (const auto& [name, rate] : kRates) {
        if (name == text) return rate;
    }
    return std::nullopt;
}

std::optional<SimCarrier> CarrierOf(const SatelliteFile& satellite,
                                    const SatelliteTransponder& transponder) {
    // A carrier keeps its frequency in kHz in 32 bits, and its symbol rate in symbols per second
    // as the carrier report carries it, a signed 32-bit number: a line beyond them names no
    // carrier the card could report, and wrapped around it would turn up as one that the file
    // does not have.
    constexpr double kMaxFrequencyKHz = std::numeric_limits<std::uint32_t>::max();
    constexpr double kMaxSymbolRate = std::numeric_limits<std::int32_t>::max();
    const double frequencyKHz = std::round(transponder.frequencyMHz * 1000.0);
    const double symbolRate = transponder.symbolRateKsps * 1000.0;
    if (!(frequencyKHz <= kMaxFrequencyKHz) || !(symbolRate <= kMaxSymbolRate)) return std::nullopt;
    SimCarrier carrier;
    carrier.orbitalTenthsEast = satellite.orbitalTenthsEast;
    carrier.satellite = satellite.name;
    carrier.frequencyKHz = static_cast<std::uint32_t>(frequencyKHz);
    carrier.polarisation = transponder.polarisation;
    carrier.symbolRate = static_cast<std::uint32_t>(symbolRate);
    const auto rate = ParseRate(transponder.fec);
    if (transponder.deliverySystem.empty() || transponder.deliverySystem == "DVB-S") {
        carrier.system = SimSystem::DvbS;
        carrier.modulation = Modulation::Qpsk;
        const bool defined =
            rate && (*rate == CodeRate::R1_2 || *rate == CodeRate::R2_3 ||
                     *rate == CodeRate::R3_4 || *rate == CodeRate::R5_6 || *rate == CodeRate::R7_8);
        carrier.rate = defined ? *rate : CodeRate::R3_4;
        return carrier;
    }
    if (transponder.deliverySystem != "DVB-S2") return std::nullopt;
    carrier.system = SimSystem::DvbS2;
    const std::string& modulation = transponder.modulation;
    if (modulation == "8PSK") {
        carrier.modulation = Modulation::Psk8;
    } else if (modulation == "16APSK") {
        carrier.modulation = Modulation::Apsk16;
    } else if (modulation == "32APSK") {
        carrier.modulation = Modulation::Apsk32;
    } else {
        carrier.modulation = Modulation::Qpsk;
    }
    if (rate && dvb_rate::Dvbs2ModCod(carrier.modulation, *rate)) {
        carrier.rate = *rate;
    } else {
        carrier.rate = carrier.modulation == Modulation::Psk8 ? CodeRate::R2_3 : CodeRate::R3_4;
    }
    carrier.pilots = carrier.modulation != Modulation::Qpsk;
    return carrier;
}

bool SameSlot(const SimCarrier& a, const SimCarrier& b) {
    const std::uint32_t gap = a.frequencyKHz > b.frequencyKHz ? a.frequencyKHz - b.frequencyKHz
                                                              : b.frequencyKHz - a.frequencyKHz;
    return a.orbitalTenthsEast == b.orbitalTenthsEast && a.polarisation == b.polarisation &&
           gap < kSlotWidthKHz;
}

// The carriers of the files as they come, the first of each slot kept: each new carrier is
// looked up among the kept ones of its position and polarisation by frequency.
class CSkyAssembly {
public:
    void Add(const SatelliteFile& satellite) {
        // The first file of a position names it.
        const std::string& name =
            m_names.emplace(satellite.orbitalTenthsEast, satellite.name).first->second;
        for (const SatelliteTransponder& transponder : satellite.transponders) {
            auto carrier = CarrierOf(satellite, transponder);
            if (!carrier || !Claim(*carrier)) continue;
            carrier->satellite = name;
            m_carriers.push_back(std::move(*carrier));
        }
    }

    std::vector<SimCarrier> Finish() && {
        const auto astra = m_names.find(192);
        for (SimCarrier& extra :
             CSimSky::ExtraCarriers(astra != m_names.end() ? astra->second : "Astra")) {
            // Four passes over the carriers: linear.
            std::erase_if(m_carriers, [&](const SimCarrier& c) { return SameSlot(c, extra); });
            m_carriers.push_back(std::move(extra));
        }
        return std::move(m_carriers);
    }

private:
    using Slot = std::tuple<int, char, std::uint32_t>;  // position, polarisation, kHz

    // Whether no kept carrier shares the carrier's slot; it is kept in the index when none does.
    bool Claim(const SimCarrier& carrier) {
        const std::uint32_t frequency = carrier.frequencyKHz;
        const std::uint32_t reach = kSlotWidthKHz - 1;
        const auto nearest = m_slots.lower_bound({carrier.orbitalTenthsEast, carrier.polarisation,
                                                  frequency > reach ? frequency - reach : 0});
        if (nearest != m_slots.end() && std::get<0>(*nearest) == carrier.orbitalTenthsEast &&
            std::get<1>(*nearest) == carrier.polarisation &&
            std::get<2>(*nearest) <= std::uint64_t{frequency} + reach) {
            return false;
        }
        m_slots.emplace(carrier.orbitalTenthsEast, carrier.polarisation, frequency);
        return true;
    }

    std::map<int, std::string> m_names;
    std::set<Slot> m_slots;
    std::vector<SimCarrier> m_carriers;
};

}  // namespace

CSimSky::CSimSky() : CSimSky(std::vector<SimCarrier>{}) {}

CSimSky::CSimSky(std::vector<SimCarrier> carriers) {
    std::promise<Contents> ready;
    ready.set_value(Index(std::move(carriers)));
    m_contents = ready.get_future().share();
}

CSimSky::CSimSky(std::shared_future<Contents> contents) : m_contents(std::move(contents)) {}

CSimSky CSimSky::Load(const std::string& transpondersFolder, const SatelliteFolderLimits& limits) {
    return CSimSky(std::async(std::launch::async, [transpondersFolder, limits] {
                       CSkyAssembly sky;
                       ForEachSatelliteFile(
                           transpondersFolder,
                           [&](SatelliteFile&& satellite) { sky.Add(satellite); }, limits);
                       return Index(std::move(sky).Finish());
                   }).share());
}

CSimSky CSimSky::FromSatellites(const std::vector<SatelliteFile>& satellites) {
    CSkyAssembly sky;
    for (const SatelliteFile& satellite : satellites) sky.Add(satellite);
    return CSimSky(std::move(sky).Finish());
}

CSimSky::Contents CSimSky::Index(std::vector<SimCarrier> carriers) {
    Contents contents;
    contents.byFrequency.resize(carriers.size());
    std::iota(contents.byFrequency.begin(), contents.byFrequency.end(), std::size_t{0});
    std::stable_sort(contents.byFrequency.begin(), contents.byFrequency.end(),
                     [&](std::size_t a, std::size_t b) {
                         return carriers[a].frequencyKHz < carriers[b].frequencyKHz;
                     });
    std::set<int> positions;
    for (const SimCarrier& carrier : carriers) positions.insert(carrier.orbitalTenthsEast);
    contents.positions.assign(positions.begin(), positions.end());
    contents.carriers = std::move(carriers);
    return contents;
}

const std::vector<SimCarrier>& CSimSky::Carriers() const {
    return m_contents.get().carriers;
}

std::vector<std::size_t> CSimSky::CarriersBetween(std::uint64_t lowKHz,
                                                  std::uint64_t highKHz) const {
    const Contents& contents = m_contents.get();
    const auto frequencyOf = [&](std::size_t index) {
        return std::uint64_t{contents.carriers[index].frequencyKHz};
    };
    auto it = std::partition_point(contents.byFrequency.begin(), contents.byFrequency.end(),
                                   [&](std::size_t index) { return frequencyOf(index) < lowKHz; });
    std::vector<std::size_t> found;
    for (; it != contents.byFrequency.end() && frequencyOf(*it) <= highKHz; ++it)
        found.push_back(*it);
    std::sort(found.begin(), found.end());
    return found;
}

const std::vector<int>& CSimSky::Positions() const {
    return m_contents.get().positions;
}

std::vector<SimCarrier> CSimSky::ExtraCarriers(const std::string& satelliteName) {
    auto base = [&](std::uint32_t mhz, std::uint32_t ksps) {
        SimCarrier carrier;
        carrier.orbitalTenthsEast = 192;
        carrier.satellite = satelliteName;
        carrier.frequencyKHz = mhz * 1000;
        carrier.polarisation = 'V';
        carrier.symbolRate = ksps * 1000;
        carrier.system = SimSystem::DvbS2;
        carrier.extra = true;
        return carrier;
    };
    std::vector<SimCarrier> extras;

    SimCarrier s2x = base(12516, 30000);
    s2x.system = SimSystem::DvbS2X;
    s2x.modulation = Modulation::Qpsk;
    s2x.s2xPlsCode = 132;  // QPSK 13/45
    s2x.pilots = true;
    s2x.rollOff = 2;
    extras.push_back(s2x);

    SimCarrier multistream = base(12590, 27500);
    multistream.modulation = Modulation::Psk8;
    multistream.rate = CodeRate::R3_5;
    multistream.pilots = true;
    multistream.rollOff = 2;
    multistream.inputStreams = {1, 2, 3};
    multistream.nullPacketDeletion = true;
    extras.push_back(multistream);

    SimCarrier scrambled = base(12630, 22000);
    scrambled.modulation = Modulation::Qpsk;
    scrambled.rate = CodeRate::R3_4;
    scrambled.pilots = true;
    scrambled.rollOff = 1;
    scrambled.plsGold = 131070;
    extras.push_back(scrambled);

    SimCarrier generic = base(12670, 10000);
    generic.modulation = Modulation::Qpsk;
    generic.rate = CodeRate::R2_3;
    generic.payload = SimPayload::GenericContinuous;
    extras.push_back(generic);
    return extras;
}
