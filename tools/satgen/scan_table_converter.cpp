#include "satgen/scan_table_converter.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <map>
#include <ostream>
#include <system_error>
#include <tuple>
#include <utility>
#include <variant>

namespace {

constexpr std::int64_t kMinFrequencyKHz = 1'000'000;   // 1 GHz: below that it is not RF
constexpr std::int64_t kMaxFrequencyKHz = 60'000'000;  // 60 GHz: above every satellite band
constexpr std::int64_t kMaxSymbolRate = 1'000'000'000;
constexpr std::uintmax_t kMaxTableSize = std::uintmax_t{16} * 1024 * 1024;

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

std::string Upper(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), AsciiUpper);
    return result;
}

bool AllDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), IsDigit);
}

std::optional<std::int64_t> ParseWhole(std::string_view text) {
    if (!AllDigits(text)) return std::nullopt;
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// Control characters of a file name would break the line they are written into.
std::string Printable(std::string_view text) {
    std::string result(text);
    std::replace_if(
        result.begin(), result.end(),
        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }, '?');
    return result;
}

// A transponder as the table gives it, in kHz so that sorting and duplicates are exact.
struct TableTransponder {
    std::int64_t frequencyKHz = 0;
    char polarisation = 'H';
    int symbolRateKsps = 0;
    std::string fec;
    std::string deliverySystem;
    std::string modulation;

    auto Key() const {
        return std::tie(frequencyKHz, polarisation, symbolRateKsps, fec, deliverySystem,
                        modulation);
    }
};

struct Block {
    std::string name;
    int line = 0;
    std::map<std::string, std::string> values;  // upper-case key; a repeated key: the last
    std::string problem;                        // set once the block cannot be used
};

std::optional<std::string> MapValue(
    std::string_view value,
    std::initializer_list<std::pair<std::string_view, std::string_view>> table) {
    const std::string upper = Upper(value);
    for (const auto& [from, to] : table) {
        if (upper == from) return std::string(to);
    }
    return std::nullopt;
}

// "AUTO", "NONE" or a code rate such as "3/4" or "11/15".
std::optional<std::string> MapFec(std::string_view value) {
    const std::string upper = Upper(value);
    if (upper == "AUTO" || upper == "NONE") return upper;
    const std::size_t slash = upper.find('/');
    if (slash == std::string::npos) return std::nullopt;
    const std::string_view rate(upper);
    const std::string_view numerator = rate.substr(0, slash);
    const std::string_view denominator = rate.substr(slash + 1);
    if (!AllDigits(numerator) || !AllDigits(denominator) || numerator.size() > 2 ||
        denominator.size() > 2) {
        return std::nullopt;
    }
    return upper;
}

// The block's transponder, or the reason it has none.
std::variant<TableTransponder, std::string> BuildTransponder(const Block& block) {
    if (!block.problem.empty()) return block.problem;
    const auto find = [&](const char* key) -> const std::string* {
        const auto it = block.values.find(key);
        return it == block.values.end() ? nullptr : &it->second;
    };
    TableTransponder transponder;

    const std::string* frequency = find("FREQUENCY");
    if (frequency == nullptr) return std::string("no FREQUENCY");
    const auto kHz = ParseWhole(*frequency);
    if (!kHz) return "FREQUENCY " + Printable(*frequency) + " is not a number of kHz";
    if (*kHz < kMinFrequencyKHz || *kHz > kMaxFrequencyKHz) {
        return "FREQUENCY " + *frequency + " kHz is outside 1 to 60 GHz";
    }
    transponder.frequencyKHz = *kHz;

    const std::string* polarisation = find("POLARIZATION");
    if (polarisation == nullptr) return std::string("no POLARIZATION");
    const auto letter = MapValue(
        *polarisation, {{"HORIZONTAL", "H"}, {"VERTICAL", "V"}, {"LEFT", "L"}, {"RIGHT", "R"}});
    if (!letter) return "unknown POLARIZATION " + Printable(*polarisation);
    transponder.polarisation = letter->front();

    const std::string* symbolRate = find("SYMBOL_RATE");
    if (symbolRate == nullptr) return std::string("no SYMBOL_RATE");
    const auto rate = ParseWhole(*symbolRate);
    if (!rate) return "SYMBOL_RATE " + Printable(*symbolRate) + " is not a number of sym/s";
    if (*rate < 500 || *rate > kMaxSymbolRate) {
        return "SYMBOL_RATE " + *symbolRate + " sym/s is outside 1 kSps to 1 GSps";
    }
    transponder.symbolRateKsps = static_cast<int>((*rate + 500) / 1000);

    if (const std::string* fec = find("INNER_FEC")) {
        const auto mapped = MapFec(*fec);
        if (!mapped) return "unknown INNER_FEC " + Printable(*fec);
        transponder.fec = *mapped;
    } else {
        transponder.fec = "AUTO";
    }

    if (const std::string* system = find("DELIVERY_SYSTEM")) {
        const auto mapped = MapValue(*system, {{"DVBS", "DVB-S"}, {"DVBS2", "DVB-S2"}});
        if (!mapped) return "DELIVERY_SYSTEM " + Printable(*system) + " is not DVBS or DVBS2";
        transponder.deliverySystem = *mapped;
    }

    if (const std::string* modulation = find("MODULATION")) {
        const auto mapped = MapValue(*modulation, {{"QPSK", "QPSK"},
                                                   {"PSK/8", "8PSK"},
                                                   {"APSK/16", "16APSK"},
                                                   {"APSK/32", "32APSK"},
                                                   {"QAM/AUTO", "AUTO"}});
        if (!mapped) return "unknown MODULATION " + Printable(*modulation);
        transponder.modulation = *mapped;
    }
    return transponder;
}

std::string LineNote(int line, std::string_view text) {
    return "line " + std::to_string(line) + ": " + std::string(text);
}

// The whole file, or none when it cannot be read or is far larger than any table.
std::optional<std::string> ReadTable(const std::filesystem::path& path, std::string& problem) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        problem = error.message();
        return std::nullopt;
    }
    if (size > kMaxTableSize) {
        problem = "larger than 16 MiB";
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        problem = "cannot be opened";
        return std::nullopt;
    }
    std::string text(static_cast<std::size_t>(size), '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (in.bad()) {
        problem = "cannot be read";
        return std::nullopt;
    }
    return text;
}

bool WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    return !out.fail();
}

}  // namespace

std::optional<ScanTableName> ParseScanTableName(std::string_view fileName) {
    const std::size_t separator = fileName.find_last_of("-_");
    if (separator == std::string_view::npos || separator == 0) return std::nullopt;
    std::string_view position = fileName.substr(separator + 1);
    if (position.size() < 2) return std::nullopt;
    const char hemisphere = AsciiUpper(position.back());
    if (hemisphere != 'E' && hemisphere != 'W') return std::nullopt;
    position.remove_suffix(1);

    const std::size_t point = position.find('.');
    const std::string_view degrees = position.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : position.substr(point + 1);
    if (!AllDigits(degrees) || degrees.size() > 3) return std::nullopt;
    if (point != std::string_view::npos && !AllDigits(fraction)) return std::nullopt;
    const int whole = static_cast<int>(*ParseWhole(degrees));
    if (whole >= 360) return std::nullopt;

    // Tenths, the hundredths digit rounding half up: 19.25E is 19.3E.
    int tenths = whole * 10;
    if (!fraction.empty()) tenths += fraction[0] - '0';
    if (fraction.size() > 1 && fraction[1] >= '5') ++tenths;

    ScanTableName table;
    table.orbitalTenthsEast = hemisphere == 'E' ? tenths % 3600 : (3600 - tenths) % 3600;
    table.name = std::string(fileName.substr(0, separator));
    return table;
}

ScanTableConversion ConvertScanTable(const ScanTableName& table, std::string_view text) {
    ScanTableConversion result;
    result.satellite.orbitalTenthsEast = table.orbitalTenthsEast;
    result.satellite.name = table.name;

    std::vector<TableTransponder> transponders;
    std::optional<Block> block;
    const auto finish = [&] {
        if (!block) return;
        ++result.blocks;
        auto built = BuildTransponder(*block);
        if (auto* transponder = std::get_if<TableTransponder>(&built)) {
            transponders.push_back(std::move(*transponder));
        } else {
            ++result.skippedBlocks;
            result.notes.push_back(LineNote(
                block->line,
                "block [" + Printable(block->name) + "] skipped: " + std::get<std::string>(built)));
        }
        block.reset();
    };

    int lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t lineEnd = text.find('\n');
        const std::string_view line = Trim(text.substr(0, lineEnd));
        text.remove_prefix(lineEnd == std::string_view::npos ? text.size() : lineEnd + 1);
        if (line.empty() || line.front() == '#') continue;

        if (line.front() == '[') {
            finish();
            block.emplace();
            block->line = lineNumber;
            if (line.size() >= 2 && line.back() == ']') {
                block->name = std::string(Trim(line.substr(1, line.size() - 2)));
            } else {
                // Its lines still belong to it, so they cannot spill into the block before.
                block->name = std::string(line.substr(1));
                block->problem = "header without ']'";
            }
            continue;
        }

        const std::size_t equals = line.find('=');
        const std::string_view key =
            equals == std::string_view::npos ? std::string_view() : Trim(line.substr(0, equals));
        if (!block) {
            result.notes.push_back(LineNote(lineNumber, "ignored: text before the first block"));
            continue;
        }
        if (key.empty()) {
            if (block->problem.empty()) {
                block->problem = "unreadable line " + std::to_string(lineNumber);
            }
            continue;
        }
        block->values[Upper(key)] = std::string(Trim(line.substr(equals + 1)));
    }
    finish();

    std::sort(
        transponders.begin(), transponders.end(),
        [](const TableTransponder& a, const TableTransponder& b) { return a.Key() < b.Key(); });
    const auto last = std::unique(
        transponders.begin(), transponders.end(),
        [](const TableTransponder& a, const TableTransponder& b) { return a.Key() == b.Key(); });
    result.duplicates = static_cast<int>(transponders.end() - last);
    transponders.erase(last, transponders.end());

    for (const TableTransponder& transponder : transponders) {
        SatelliteTransponder& out = result.satellite.transponders.emplace_back();
        out.frequencyMHz = static_cast<double>(transponder.frequencyKHz) / 1000.0;
        out.polarisation = transponder.polarisation;
        out.symbolRateKsps = transponder.symbolRateKsps;
        out.fec = transponder.fec;
        out.deliverySystem = transponder.deliverySystem;
        out.modulation = transponder.modulation;
    }
    return result;
}

std::string FormatGeneratedFile(std::string_view tableName, const SatelliteFile& satellite) {
    return "; Generated by vlk-satgen from the DVB-S scan table " + Printable(tableName) + ".\n" +
           FormatSatelliteFileText(satellite);
}

SatgenSummary ConvertScanTableFolder(const std::filesystem::path& input,
                                     const std::filesystem::path& output, std::ostream& notes) {
    SatgenSummary summary;
    std::vector<std::filesystem::path> tables;
    std::error_code error;
    for (std::filesystem::directory_iterator it(input, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        std::error_code typeError;
        if (name.starts_with('.') || !it->is_regular_file(typeError)) continue;
        tables.push_back(it->path());
    }
    if (error) {
        notes << input.string() << ": cannot read the folder: " << error.message() << '\n';
        summary.status = SatgenStatus::InputUnreadable;
        return summary;
    }
    std::sort(tables.begin(), tables.end());

    std::filesystem::create_directories(output, error);
    if (error) {
        notes << output.string() << ": cannot create the folder: " << error.message() << '\n';
        summary.status = SatgenStatus::OutputFailed;
        return summary;
    }

    for (const std::filesystem::path& path : tables) {
        ++summary.tables;
        const std::string tableName = path.filename().string();
        const std::string shownName = Printable(tableName);
        const auto parsed = ParseScanTableName(tableName);
        if (!parsed) {
            ++summary.skippedTables;
            notes << shownName << ": skipped: no position such as -19.2E or -5.0W at the end\n";
            continue;
        }
        std::string problem;
        const auto text = ReadTable(path, problem);
        if (!text) {
            ++summary.skippedTables;
            notes << shownName << ": skipped: " << problem << '\n';
            continue;
        }

        const ScanTableConversion conversion = ConvertScanTable(*parsed, *text);
        for (const std::string& note : conversion.notes) notes << shownName << ": " << note << '\n';
        summary.blocks += conversion.blocks;
        summary.skippedBlocks += conversion.skippedBlocks;
        summary.duplicates += conversion.duplicates;

        const std::filesystem::path target = output / (tableName + ".ini");
        if (!WriteFile(target, FormatGeneratedFile(tableName, conversion.satellite))) {
            notes << target.string() << ": cannot be written\n";
            summary.status = SatgenStatus::OutputFailed;
            return summary;
        }
        ++summary.filesWritten;
        summary.transponders += static_cast<int>(conversion.satellite.transponders.size());
    }
    return summary;
}

std::string FormatSummary(const SatgenSummary& summary) {
    return "vlk-satgen: " + std::to_string(summary.tables) + " tables, " +
           std::to_string(summary.filesWritten) + " files written, " +
           std::to_string(summary.skippedTables) + " tables skipped; " +
           std::to_string(summary.blocks) + " blocks, " + std::to_string(summary.skippedBlocks) +
           " skipped, " + std::to_string(summary.duplicates) + " duplicates; " +
           std::to_string(summary.transponders) + " transponders written";
}
