#include "data/orbital_position.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <string_view>

namespace {

constexpr double kSameTransponderMHz = 1.0;

// The first word of a name and the rest: "Astra-1KR" is "Astra" and "1KR"; "Astra" has no rest.
std::pair<std::string_view, std::string_view> SplitFirstWord(std::string_view name) {
    const std::size_t cut = name.find_first_of("- ");
    if (cut == std::string_view::npos) return {name, {}};
    return {name.substr(0, cut), name.substr(cut + 1)};
}

bool ListsAlready(const SatelliteFile& merged, const SatelliteTransponder& transponder) {
    return std::any_of(merged.transponders.begin(), merged.transponders.end(),
                       [&](const SatelliteTransponder& listed) {
                           return listed.polarisation == transponder.polarisation &&
                                  std::fabs(listed.frequencyMHz - transponder.frequencyMHz) <
                                      kSameTransponderMHz;
                       });
}

}  // namespace

std::string MergedSatelliteName(const std::vector<std::string>& names) {
    std::vector<std::string> distinct;
    for (const std::string& name : names) {
        if (std::find(distinct.begin(), distinct.end(), name) == distinct.end())
            distinct.push_back(name);
    }
    const auto join = [](const std::vector<std::string_view>& parts) {
        std::string text;
        for (const std::string_view part : parts) {
            if (!text.empty()) text += ", ";
            text += part;
        }
        return text;
    };
    if (distinct.empty()) return {};
    const std::string_view firstWord = SplitFirstWord(distinct.front()).first;
    std::vector<std::string_view> rests;
    for (const std::string& name : distinct) {
        const auto [word, rest] = SplitFirstWord(name);
        if (word != firstWord) return join({distinct.begin(), distinct.end()});
        if (!rest.empty()) rests.push_back(rest);
    }
    if (rests.empty()) return std::string(firstWord);
    return std::string(firstWord) + " " + join(rests);
}

std::vector<OrbitalPosition> GroupByOrbitalPosition(const std::vector<SatelliteFile>& files) {
    std::vector<OrbitalPosition> positions;
    std::map<int, std::size_t> indexOf;
    std::vector<std::vector<std::string>> names;
    for (const SatelliteFile& file : files) {
        const auto [found, added] = indexOf.try_emplace(file.orbitalTenthsEast, positions.size());
        if (added) {
            OrbitalPosition position;
            position.satellite.orbitalTenthsEast = file.orbitalTenthsEast;
            position.satellite.fileName = file.fileName;
            positions.push_back(std::move(position));
            names.emplace_back();
        } else {
            positions[found->second].satellite.fileName.clear();  // more than one file
        }
        OrbitalPosition& position = positions[found->second];
        names[found->second].push_back(file.name);
        for (const SatelliteTransponder& transponder : file.transponders) {
            if (ListsAlready(position.satellite, transponder)) continue;
            position.satellite.transponders.push_back(transponder);
            position.transponderFiles.push_back(file.fileName);
        }
    }
    for (std::size_t i = 0; i < positions.size(); ++i) {
        OrbitalPosition& position = positions[i];
        position.satellite.name = MergedSatelliteName(names[i]);
        // Frequency order across the files, each row keeping its file.
        std::vector<std::size_t> order(position.satellite.transponders.size());
        std::iota(order.begin(), order.end(), std::size_t{0});
        const auto& transponders = position.satellite.transponders;
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return transponders[a].frequencyMHz < transponders[b].frequencyMHz;
        });
        OrbitalPosition sorted;
        sorted.satellite = position.satellite;
        sorted.satellite.transponders.clear();
        for (const std::size_t row : order) {
            sorted.satellite.transponders.push_back(transponders[row]);
            sorted.transponderFiles.push_back(position.transponderFiles[row]);
        }
        position = std::move(sorted);
    }
    return positions;
}
