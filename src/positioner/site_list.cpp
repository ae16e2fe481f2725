#include "positioner/site_list.h"

#include <algorithm>
#include <memory>
#include <set>
#include <utility>

#include "core/process_globals.h"
#include "platform/win/file_locations.h"
#include "platform/win/regular_file.h"

namespace {

enum class Visit { Continue, Stop };

constexpr std::size_t kChunkBytes = std::size_t{64} * 1024;

// Calls `visit` for every line that holds a TAB, in file order, until it answers Stop. A line
// without a TAB (an empty line among them) contributes nothing: it is skipped, so it neither
// adds a name nor ends a country's block. A line longer than kSiteListMaxLineBytes is skipped in
// the same way; it is never held in memory. Lines end in LF or CR LF. False when the file is
// missing, is not a regular file or is larger than kSiteListMaxBytes; a file that grows while
// it is read is read up to that size.
template <typename Visitor>
bool VisitSiteLines(Visitor&& visit) {
    const CRegularFile file = CRegularFile::OpenToRead(SiteListPath());
    if (!file.IsOpen() || file.Size() > kSiteListMaxBytes) return false;
    std::string line;
    bool tooLong = false;
    // False once the visitor has had enough.
    const auto endLine = [&] {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const bool skip = tooLong || line.size() > kSiteListMaxLineBytes;
        const std::optional<SiteLine> fields = skip ? std::nullopt : SplitSiteLine(line);
        const bool goOn = !fields || visit(*fields) == Visit::Continue;
        line.clear();
        tooLong = false;
        return goOn;
    };
    const auto chunk = std::make_unique_for_overwrite<char[]>(kChunkBytes);
    for (std::uint64_t left = kSiteListMaxBytes; left > 0;) {
        const std::ptrdiff_t got =
            file.Read(chunk.get(), std::min<std::uint64_t>(kChunkBytes, left));
        if (got <= 0) break;
        left -= static_cast<std::uint64_t>(got);
        std::string_view rest(chunk.get(), static_cast<std::size_t>(got));
        while (!rest.empty()) {
            const std::size_t end = rest.find('\n');
            const std::string_view piece = rest.substr(0, end);
            // One byte over the limit may still be the CR of a CR LF.
            if (!tooLong && line.size() + piece.size() <= kSiteListMaxLineBytes + 1) {
                line.append(piece);
            } else {
                tooLong = true;
                line.clear();
            }
            if (end == std::string_view::npos) break;
            if (!endLine()) return true;
            rest.remove_prefix(end + 1);
        }
    }
    // A last line without a line end counts as well.
    if (!line.empty() || tooLong) endLine();
    return true;
}

char FoldAsciiCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string FoldAsciiCase(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) c = FoldAsciiCase(c);
    return folded;
}

// The field up to the next TAB (or the end) and what follows that TAB.
std::string_view CutField(std::string_view& rest) {
    const std::size_t tab = rest.find('\t');
    const std::string_view field = rest.substr(0, tab);
    rest = tab == std::string_view::npos ? std::string_view{} : rest.substr(tab + 1);
    return field;
}

}  // namespace

std::string SiteListPath() {
    return platform::CityListFile(g_strWorkDir);
}

std::optional<SiteLine> SplitSiteLine(std::string_view line) {
    if (line.find('\t') == std::string_view::npos) return std::nullopt;
    SiteLine fields;
    std::string_view rest = line;
    fields.country = CutField(rest);
    fields.city = CutField(rest);
    fields.latitude = CutField(rest);
    fields.longitude = rest;  // everything after the third TAB, further TABs included
    return fields;
}

std::vector<std::string> ReadCountryNames() {
    std::vector<std::string> names;
    // The listed names case-folded and sorted: the names that begin with a text lie in one run
    // that starts where the text itself would go, so one search tells whether any does.
    std::set<std::string> folded;
    VisitSiteLines([&](const SiteLine& line) {
        std::string key = FoldAsciiCase(line.country);
        const auto next = folded.lower_bound(key);
        if (next == folded.end() || !next->starts_with(key)) {
            names.emplace_back(line.country);
            folded.insert(next, std::move(key));
        }
        return Visit::Continue;
    });
    return names;
}

CountryCities ReadCitiesOfCountry(const std::string& country) {
    CountryCities result;
    VisitSiteLines([&](const SiteLine& line) {
        if (line.country != country) return result.position ? Visit::Stop : Visit::Continue;
        SitePosition position{std::string(line.latitude), std::string(line.longitude)};
        if (!result.position) result.position = position;
        result.cities.emplace_back(line.city);
        result.positions.push_back(std::move(position));
        return Visit::Continue;
    });
    return result;
}

CityPositionResult ReadCityPosition(const std::string& country, const std::string& city) {
    std::optional<SitePosition> position;
    const bool read = VisitSiteLines([&](const SiteLine& line) {
        if (line.country != country) return position ? Visit::Stop : Visit::Continue;
        if (line.city == city)
            position = SitePosition{std::string(line.latitude), std::string(line.longitude)};
        return Visit::Continue;
    });
    return {read, std::move(position)};
}
