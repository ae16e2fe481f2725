#include "data/satellite_file.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <system_error>

#include "data/satellite_folder.h"
#include "platform/win/known_folders.h"
#include "platform/win/regular_file.h"

namespace {

// Larger files are not ours; reading them whole would only cost memory.
constexpr std::uintmax_t kMaxFileSize = std::uintmax_t{16} * 1024 * 1024;

constexpr int kMaxTenthsEast = 3599;

// The private-profile reader's blanks: '\n' ends a line and never reaches a field.
constexpr bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

constexpr bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

constexpr char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return AsciiUpper(x) == AsciiUpper(y);
           });
}

bool AllDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), IsDigit);
}

// A whole decimal number that fits an int; none for anything else (signs included).
std::optional<int> ParseWholeNumber(std::string_view text) {
    if (!AllDigits(text)) return std::nullopt;
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// Digits with at most one decimal point between digits: no sign, exponent, inf or nan.
std::optional<double> ParseDecimal(std::string_view text) {
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    if (!AllDigits(whole)) return std::nullopt;
    if (point != std::string_view::npos && !AllDigits(text.substr(point + 1))) return std::nullopt;
    double value = 0.0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

// The value as GetPrivateProfileStringA returns it: one pair of matching enclosing quotes
// removed, cut at a NUL byte.
std::string_view ProfileValue(std::string_view trimmed) {
    if (trimmed.size() >= 2 && (trimmed.front() == '"' || trimmed.front() == '\'') &&
        trimmed.back() == trimmed.front()) {
        trimmed = trimmed.substr(1, trimmed.size() - 2);
    }
    return trimmed.substr(0, trimmed.find('\0'));
}

// A [DVB] key name as the number it stands for; "01" or "+1" name no transponder, since a
// lookup of key "1" would not find them either.
std::optional<int> TransponderKey(std::string_view name) {
    if (name.size() > 1 && name.front() == '0') return std::nullopt;
    return ParseWholeNumber(name);
}

enum class Section { None, SatType, Dvb, Other };

struct ProfileKeys {
    std::optional<std::string_view> position;
    std::optional<std::string_view> name;
    std::map<int, std::string_view> dvb;  // first key of each number
};

// One pass over the text, keeping what lookups of SATTYPE/1, SATTYPE/2 and DVB/n would find.
ProfileKeys CollectKeys(std::string_view text) {
    ProfileKeys keys;
    Section current = Section::None;
    bool satTypeSeen = false;
    bool dvbSeen = false;
    while (!text.empty()) {
        const std::size_t lineEnd = text.find('\n');
        std::string_view line = text.substr(0, lineEnd);
        text.remove_prefix(lineEnd == std::string_view::npos ? text.size() : lineEnd + 1);

        while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            const std::size_t close = line.find(']');
            if (close == std::string_view::npos) continue;  // neither header nor key
            const std::string_view name = Trim(line.substr(1, close - 1));
            // Only the first section of a name is searched, as the profile lookup does.
            if (!satTypeSeen && SameName(name, "SATTYPE")) {
                satTypeSeen = true;
                current = Section::SatType;
            } else if (!dvbSeen && SameName(name, "DVB")) {
                dvbSeen = true;
                current = Section::Dvb;
            } else {
                current = Section::Other;
            }
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string_view name = Trim(line.substr(0, equals));
        const std::string_view value = ProfileValue(Trim(line.substr(equals + 1)));
        if (current == Section::SatType) {
            if (!keys.position && name == "1") keys.position = value;
            if (!keys.name && name == "2") keys.name = value;
        } else if (current == Section::Dvb) {
            if (const auto number = TransponderKey(name)) keys.dvb.emplace(*number, value);
        }
    }
    return keys;
}

void AppendFrequency(std::string& out, double frequencyMHz) {
    // Room for every finite double the reader accepts: up to 309 whole digits, the point and
    // three decimals.
    std::array<char, std::numeric_limits<double>::max_exponent10 + 1 + 1 + 3> buffer{};
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                                            frequencyMHz, std::chars_format::fixed, 3);
    if (error != std::errc()) {
        out += '0';
        return;
    }
    std::string_view text(buffer.data(), static_cast<std::size_t>(end - buffer.data()));
    while (text.back() == '0') text.remove_suffix(1);
    if (text.back() == '.') text.remove_suffix(1);
    out += text;
}

// The file's text from where it is opened to its end; none on a read error. A file that shrank
// meanwhile is read as far as it goes.
std::optional<std::string> ReadWhole(const CRegularFile& file) {
    std::string text(static_cast<std::size_t>(file.Size()), '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const std::ptrdiff_t n = file.Read(text.data() + got, text.size() - got);
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    text.resize(got);
    return text;
}

}  // namespace

std::optional<SatelliteTransponder> ParseTransponderLine(std::string_view line) {
    std::array<std::string_view, 6> fields{};
    std::size_t count = 0;
    while (count < fields.size()) {
        const std::size_t comma = line.find(',');
        fields[count++] = Trim(line.substr(0, comma));
        if (comma == std::string_view::npos) break;
        line.remove_prefix(comma + 1);
    }
    if (count < 4) return std::nullopt;

    SatelliteTransponder transponder;
    const auto frequency = ParseDecimal(fields[0]);
    if (!frequency || *frequency <= 0.0) return std::nullopt;
    transponder.frequencyMHz = *frequency;

    if (fields[1].size() != 1) return std::nullopt;
    transponder.polarisation = AsciiUpper(fields[1].front());
    if (std::string_view("HVLR").find(transponder.polarisation) == std::string_view::npos) {
        return std::nullopt;
    }

    const auto symbolRate = ParseWholeNumber(fields[2]);
    if (!symbolRate || *symbolRate <= 0) return std::nullopt;
    transponder.symbolRateKsps = *symbolRate;

    if (fields[3].empty()) return std::nullopt;
    transponder.fec = fields[3];
    transponder.deliverySystem = fields[4];
    transponder.modulation = fields[5];
    return transponder;
}

std::string FormatTransponderLine(const SatelliteTransponder& transponder) {
    std::string line;
    AppendFrequency(line, transponder.frequencyMHz);
    line += ',';
    line += transponder.polarisation;
    line += ',';
    line += std::to_string(transponder.symbolRateKsps);
    line += ',';
    line += transponder.fec;
    if (!transponder.deliverySystem.empty() || !transponder.modulation.empty()) {
        line += ',';
        line += transponder.deliverySystem;
    }
    if (!transponder.modulation.empty()) {
        line += ',';
        line += transponder.modulation;
    }
    return line;
}

std::optional<SatelliteFile> ParseSatelliteFileText(std::string_view text) {
    const ProfileKeys keys = CollectKeys(text);
    if (!keys.position || keys.position->size() > 4) return std::nullopt;
    const auto tenths = ParseWholeNumber(*keys.position);
    if (!tenths || *tenths > kMaxTenthsEast) return std::nullopt;

    SatelliteFile satellite;
    satellite.orbitalTenthsEast = *tenths;
    satellite.name = keys.name.value_or(std::string_view());

    const auto counted = keys.dvb.find(0);
    const std::optional<int> count =
        counted == keys.dvb.end() ? std::nullopt : ParseWholeNumber(counted->second);
    if (count) {
        for (auto it = keys.dvb.upper_bound(0); it != keys.dvb.end() && it->first <= *count; ++it) {
            if (auto transponder = ParseTransponderLine(it->second)) {
                satellite.transponders.push_back(std::move(*transponder));
            }
        }
    } else {
        int expected = 1;
        for (auto it = keys.dvb.find(1); it != keys.dvb.end() && it->first == expected;
             ++it, ++expected) {
            if (auto transponder = ParseTransponderLine(it->second)) {
                satellite.transponders.push_back(std::move(*transponder));
            }
        }
    }
    return satellite;
}

std::string FormatSatelliteFileText(const SatelliteFile& satellite) {
    std::array<char, 8> position{};
    const int tenths = std::clamp(satellite.orbitalTenthsEast, 0, kMaxTenthsEast);
    position[0] = static_cast<char>('0' + tenths / 1000);
    position[1] = static_cast<char>('0' + tenths / 100 % 10);
    position[2] = static_cast<char>('0' + tenths / 10 % 10);
    position[3] = static_cast<char>('0' + tenths % 10);

    // A line end inside the name would start a new line of the file.
    std::string name = satellite.name;
    std::replace_if(
        name.begin(), name.end(), [](char c) { return c == '\n' || c == '\r' || c == '\0'; }, ' ');
    // The reader drops blanks around a value and one pair of enclosing quotes: quoted, such a
    // name reads back as it is.
    if (Trim(name).size() != name.size() || ProfileValue(name).size() != name.size()) {
        name = '"' + name + '"';
    }

    std::string text = "[SATTYPE]\n1=";
    text.append(position.data(), 4);
    text += "\n2=";
    text += name;
    text += "\n\n[DVB]\n0=";
    text += std::to_string(satellite.transponders.size());
    text += '\n';
    int key = 1;
    for (const SatelliteTransponder& transponder : satellite.transponders) {
        text += std::to_string(key++);
        text += '=';
        text += FormatTransponderLine(transponder);
        text += '\n';
    }
    return text;
}

std::optional<SatelliteFile> ReadSatelliteFile(const std::string& path) {
    // A pipe or a device put in a file's place must neither block nor feed the reader for ever.
    const CRegularFile file = CRegularFile::OpenToRead(path);
    if (!file.IsOpen() || file.Size() > kMaxFileSize) return std::nullopt;
    const auto text = ReadWhole(file);
    if (!text) return std::nullopt;
    return ParseSatelliteFileText(*text);
}

void ForEachSatelliteFile(const std::string& folder,
                          const std::function<void(SatelliteFile&&)>& take,
                          const SatelliteFolderLimits& limits) {
    CSatelliteFolderBudget budget(folder, limits);
    for (const std::string& name : ListSatelliteFiles(folder, budget.NamesToList())) {
        const CRegularFile file = CRegularFile::OpenToRead(platform::JoinPath(folder, name));
        const bool readable = file.IsOpen() && file.Size() <= kMaxFileSize;
        if (!budget.TakeFile(name, readable ? file.Size() : 0)) return;
        if (!readable) continue;
        const auto text = ReadWhole(file);
        auto satellite = text ? ParseSatelliteFileText(*text) : std::nullopt;
        if (!satellite) continue;
        const std::size_t listed = satellite->transponders.size();
        const std::size_t kept = budget.TakeTransponders(name, listed);
        if (kept == 0 && listed > 0) return;  // nothing left of a file that had something
        satellite->transponders.resize(kept);
        satellite->fileName = name;
        take(std::move(*satellite));
        if (budget.Exhausted()) return;
    }
}

std::vector<SatelliteFile> ReadSatelliteFolder(const std::string& folder,
                                               const SatelliteFolderLimits& limits) {
    std::vector<SatelliteFile> satellites;
    ForEachSatelliteFile(
        folder, [&](SatelliteFile&& satellite) { satellites.push_back(std::move(satellite)); },
        limits);
    return satellites;
}
