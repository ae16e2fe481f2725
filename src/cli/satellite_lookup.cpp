#include "cli/satellite_lookup.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <set>

#include "data/listed_transponder.h"
#include "data/orbital_position.h"

namespace cli {

namespace {

// Lower case, blanks trimmed and runs of blanks made one.
std::string Folded(std::string_view text) {
    std::string folded;
    for (const char c : text) {
        const bool blank = c == ' ' || c == '\t';
        if (blank && (folded.empty() || folded.back() == ' ')) continue;
        folded += blank ? ' ' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (!folded.empty() && folded.back() == ' ') folded.pop_back();
    return folded;
}

// "19.2E", "19.2 e", "5W": tenths of a degree east, as the files keep them.
std::optional<int> PositionTenths(std::string_view text) {
    const std::string folded = Folded(text);
    if (folded.size() < 2) return std::nullopt;
    const char side = folded.back();
    if (side != 'e' && side != 'w') return std::nullopt;
    std::string_view number(folded.data(), folded.size() - 1);
    if (!number.empty() && number.back() == ' ') number.remove_suffix(1);
    double degrees = 0;
    const auto [stop, error] =
        std::from_chars(number.data(), number.data() + number.size(), degrees);
    if (number.empty() || error != std::errc() || stop != number.data() + number.size() ||
        degrees < 0 || degrees > 180)
        return std::nullopt;
    const auto tenths = static_cast<int>(std::lround(degrees * 10));
    return side == 'e' ? tenths % 3600 : (3600 - tenths) % 3600;
}

std::string Stem(const std::string& fileName) {
    const std::size_t dot = fileName.rfind('.');
    return dot == std::string::npos ? fileName : fileName.substr(0, dot);
}

bool Names(const SatelliteFile& file, std::string_view name) {
    const std::string wanted = Folded(name);
    return Folded(file.name) == wanted || Folded(file.fileName) == wanted ||
           Folded(Stem(file.fileName)) == wanted;
}

// The files merged as one satellite (one position; GroupByOrbitalPosition merges them).
SatelliteFile Merged(const std::vector<SatelliteFile>& files) {
    return GroupByOrbitalPosition(files).front().satellite;
}

std::vector<SatelliteFile> AtPosition(const std::vector<SatelliteFile>& files, int tenths) {
    std::vector<SatelliteFile> found;
    std::copy_if(files.begin(), files.end(), std::back_inserter(found),
                 [tenths](const SatelliteFile& file) { return file.orbitalTenthsEast == tenths; });
    return found;
}

std::string PositionText(int tenths) {
    SatelliteFile file;
    file.orbitalTenthsEast = tenths;
    std::string label = SatelliteLabel(file);
    return label.substr(0, label.find(' '));
}

}  // namespace

std::variant<SatelliteFile, std::string> FindSatellite(std::string_view name,
                                                       const std::vector<SatelliteFile>& files) {
    const std::string folded = Folded(name);
    const auto notListed = [&] {
        return fmt::format(
            "No satellite file lists \"{}\": give an orbital position such as 19.2E "
            "or a satellite's name.",
            name);
    };
    if (const auto tenths = PositionTenths(folded)) {
        const auto found = AtPosition(files, *tenths);
        if (found.empty()) return notListed();
        return Merged(found);
    }
    // A position, then the name of one of its satellites or of all of them.
    if (const std::size_t blank = folded.find(' '); blank != std::string::npos) {
        if (const auto tenths = PositionTenths(folded.substr(0, blank))) {
            const std::string rest = folded.substr(blank + 1);
            const auto there = AtPosition(files, *tenths);
            if (!there.empty() && Folded(Merged(there).name) == rest) return Merged(there);
            std::vector<SatelliteFile> named;
            std::copy_if(there.begin(), there.end(), std::back_inserter(named),
                         [&rest](const SatelliteFile& file) { return Names(file, rest); });
            if (named.empty()) return notListed();
            return Merged(named);
        }
    }
    std::vector<SatelliteFile> named;
    std::copy_if(files.begin(), files.end(), std::back_inserter(named),
                 [&folded](const SatelliteFile& file) { return Names(file, folded); });
    if (named.empty()) return notListed();
    std::set<int> positions;
    for (const SatelliteFile& file : named) positions.insert(file.orbitalTenthsEast);
    if (positions.size() > 1) {
        std::string where;
        for (const int tenths : positions)
            where += (where.empty() ? "" : ", ") + PositionText(tenths);
        return fmt::format(
            "\"{}\" names satellites at {}: give the position too, as in \"{}  {}\".", name, where,
            PositionText(*positions.begin()), name);
    }
    return Merged(named);
}

std::variant<SatelliteTransponder, std::string> FindTransponder(
    std::string_view text, const std::vector<SatelliteFile>& files) {
    const std::size_t polarityAt = text.rfind(':');
    const std::size_t frequencyAt = polarityAt == std::string_view::npos || polarityAt == 0
                                        ? std::string_view::npos
                                        : text.rfind(':', polarityAt - 1);
    if (frequencyAt == std::string_view::npos)
        return fmt::format("--transponder {}: give SATELLITE:FREQ:POL, as in 19.2E:11362:H.", text);
    const std::string_view frequencyText =
        text.substr(frequencyAt + 1, polarityAt - frequencyAt - 1);
    const std::string polarity = Folded(text.substr(polarityAt + 1));
    double frequency = 0;
    const auto [stop, error] = std::from_chars(
        frequencyText.data(), frequencyText.data() + frequencyText.size(), frequency);
    if (frequencyText.empty() || error != std::errc() ||
        stop != frequencyText.data() + frequencyText.size() || polarity.size() != 1 ||
        std::string_view("hvlr").find(polarity[0]) == std::string_view::npos)
        return fmt::format("--transponder {}: give SATELLITE:FREQ:POL, as in 19.2E:11362:H.", text);
    const auto satellite = FindSatellite(text.substr(0, frequencyAt), files);
    if (const auto* why = std::get_if<std::string>(&satellite)) return *why;
    const auto& transponders = std::get<SatelliteFile>(satellite).transponders;
    const char wanted = static_cast<char>(std::toupper(static_cast<unsigned char>(polarity[0])));
    const SatelliteTransponder* nearest = nullptr;
    for (const SatelliteTransponder& transponder : transponders) {
        if (transponder.polarisation != wanted ||
            std::fabs(transponder.frequencyMHz - frequency) > 1.0)
            continue;
        if (nearest == nullptr || std::fabs(transponder.frequencyMHz - frequency) <
                                      std::fabs(nearest->frequencyMHz - frequency))
            nearest = &transponder;
    }
    if (nearest == nullptr)
        return fmt::format("--transponder {}: {} lists no transponder at {} MHz {}.", text,
                           text.substr(0, frequencyAt), frequencyText, wanted);
    return *nearest;
}

}  // namespace cli
