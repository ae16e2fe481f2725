#include "positioner/site_list.h"

#include <algorithm>
#include <fstream>

#include "app/process_globals.h"
#include "platform/ui/message_box.h"

namespace {

enum class Visit { Continue, Stop };

// Calls `visit` for every line that holds a TAB, in file order, until it answers Stop. A line
// without a TAB (an empty line among them) contributes nothing: it is skipped, so it neither
// adds a name nor ends a country's block. Lines end in LF or CR LF. False when the file cannot
// be opened.
template <typename Visitor>
bool VisitSiteLines(Visitor&& visit) {
    std::ifstream file(SiteListPath(), std::ios::binary);
    if (!file.is_open()) return false;
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::optional<SiteLine> fields = SplitSiteLine(line);
        if (!fields) continue;
        if (visit(*fields) == Visit::Stop) break;
    }
    return true;
}

char FoldAsciiCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool BeginsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](char a, char b) { return FoldAsciiCase(a) == FoldAsciiCase(b); });
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
    return g_strWorkDir + "/CityList.txt";
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
    VisitSiteLines([&](const SiteLine& line) {
        const bool covered = std::any_of(names.begin(), names.end(), [&](const std::string& name) {
            return BeginsWithIgnoringCase(name, line.country);
        });
        if (!covered) names.emplace_back(line.country);
        return Visit::Continue;
    });
    return names;
}

CountryCities ReadCitiesOfCountry(const std::string& country) {
    CountryCities result;
    VisitSiteLines([&](const SiteLine& line) {
        if (line.country != country) return result.position ? Visit::Stop : Visit::Continue;
        if (!result.position)
            result.position = SitePosition{std::string(line.latitude), std::string(line.longitude)};
        result.cities.emplace_back(line.city);
        return Visit::Continue;
    });
    return result;
}

std::optional<SitePosition> ReadCityPosition(const std::string& country, const std::string& city,
                                             HWND owner) {
    std::optional<SitePosition> position;
    const bool opened = VisitSiteLines([&](const SiteLine& line) {
        if (line.country != country) return position ? Visit::Stop : Visit::Continue;
        if (line.city == city)
            position = SitePosition{std::string(line.latitude), std::string(line.longitude)};
        return Visit::Continue;
    });
    if (!opened) MessageBoxA(owner, "open file error!", AfxGetAppName(), MB_OK);
    return position;
}
