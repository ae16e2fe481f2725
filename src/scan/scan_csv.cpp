#include "scan/scan_csv.h"

#include <fmt/format.h>

#include <array>
#include <charconv>
#include <cmath>
#include <system_error>

#include "core/csv_line.h"

namespace scan_csv {

namespace {

constexpr std::size_t kColumns = 11;

std::string Tenths(const std::optional<double>& value) {
    return value ? fmt::format("{:.1f}", *value) : std::string();
}

std::array<std::string, kColumns> FieldsOf(const ScanRow& row) {
    std::string streams;
    for (const int id : row.inputStreamIds) {
        if (!streams.empty()) streams += ' ';
        streams += std::to_string(id);
    }
    return {fmt::format("{}", row.frequencyMHz),
            std::string(1, row.polarisation),
            std::to_string(row.symbolRateKsps),
            row.locked ? "yes" : "no",
            row.lockMs ? fmt::format("{:.3f}", *row.lockMs / 1000.0) : std::string(),
            Tenths(row.carrierToNoiseDb),
            Tenths(row.marginDb),
            row.deliverySystem,
            row.modCod,
            streams,
            row.services ? std::to_string(*row.services) : std::string()};
}

// Splits one record starting at `at`; moves `at` past its line end and counts the lines it
// spans. False for a quote that is never closed or stray text after a closing quote.
bool NextRecord(std::string_view text, std::size_t& at, int& lines,
                std::vector<std::string>& fields, std::string& fault) {
    fields.assign(1, std::string());
    bool quoted = false;
    bool afterQuote = false;
    while (at < text.size()) {
        const char c = text[at++];
        if (quoted) {
            if (c == '"') {
                if (at < text.size() && text[at] == '"') {
                    fields.back() += '"';
                    ++at;
                } else {
                    quoted = false;
                    afterQuote = true;
                }
            } else {
                if (c == '\n') ++lines;
                fields.back() += c;
            }
            continue;
        }
        if (c == ',') {
            fields.emplace_back();
            afterQuote = false;
        } else if (c == '\n' || (c == '\r' && at < text.size() && text[at] == '\n')) {
            if (c == '\r') ++at;
            ++lines;
            return true;
        } else if (afterQuote) {
            fault = "text after a closing quote";
            return false;
        } else if (c == '"' && fields.back().empty()) {
            quoted = true;
        } else {
            fields.back() += c;
        }
    }
    if (quoted) {
        fault = "a quote that is never closed";
        return false;
    }
    return true;
}

template <typename T>
bool Number(const std::string& text, T& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    return !text.empty() && error == std::errc() && ptr == end;
}

// One field that holds a number or nothing.
template <typename T>
bool Optional(const std::string& text, std::optional<T>& value) {
    if (text.empty()) return true;
    T number{};
    if (!Number(text, number)) return false;
    value = number;
    return true;
}

bool IsFinite(const std::optional<double>& value) {
    return !value || std::isfinite(*value);
}

std::optional<std::string> RowOf(const std::vector<std::string>& f, ScanRow& row) {
    if (f.size() != kColumns)
        return fmt::format("{} fields where a scan has {}", f.size(), kColumns);
    if (!Number(f[0], row.frequencyMHz) || !(row.frequencyMHz > 0) ||
        !std::isfinite(row.frequencyMHz))
        return "the frequency \"" + f[0] + "\" is not a positive number";
    if (f[1].size() != 1 || std::string_view("HVLR").find(f[1][0]) == std::string_view::npos)
        return "the polarisation \"" + f[1] + "\" is not H, V, L or R";
    row.polarisation = f[1][0];
    if (!Number(f[2], row.symbolRateKsps) || row.symbolRateKsps <= 0)
        return "the symbol rate \"" + f[2] + "\" is not a positive whole number";
    if (f[3] != "yes" && f[3] != "no") return "\"Locked\" is \"" + f[3] + "\", not yes or no";
    row.locked = f[3] == "yes";
    std::optional<double> seconds;
    // Under a million seconds once rounded to the millisecond, so that it is written back as read.
    if (!Optional(f[4], seconds) ||
        (seconds && !(*seconds >= 0 && std::round(*seconds * 1000.0) < 1e9)))
        return "the lock time \"" + f[4] + "\" is not a number of seconds";
    if (seconds) row.lockMs = static_cast<int>(std::llround(*seconds * 1000.0));
    // from_chars reads "nan" and "inf" too.
    if (!Optional(f[5], row.carrierToNoiseDb) || !Optional(f[6], row.marginDb) ||
        !IsFinite(row.carrierToNoiseDb) || !IsFinite(row.marginDb))
        return "C/N or margin is not a number of dB";
    row.deliverySystem = f[7];
    row.modCod = f[8];
    std::size_t at = 0;
    while (at < f[9].size()) {
        std::size_t end = f[9].find(' ', at);
        if (end == std::string::npos) end = f[9].size();
        int id = -1;
        if (!Number(f[9].substr(at, end - at), id) || id < 0 || id > 255 ||
            (!row.inputStreamIds.empty() && id <= row.inputStreamIds.back()))
            return "the input streams \"" + f[9] + "\" are not ascending numbers 0..255";
        row.inputStreamIds.push_back(id);
        at = end + 1;
    }
    if (!Optional(f[10], row.services) || (row.services && *row.services < 0))
        return "the services \"" + f[10] + "\" are not a count";
    return std::nullopt;
}

}  // namespace

std::string Format(const std::vector<ScanRow>& rows) {
    std::string text = std::string(kHeader) + "\r\n";
    for (const ScanRow& row : rows) {
        text += CsvLine(FieldsOf(row));
    }
    return text;
}

std::optional<Error> Parse(std::string_view text, std::vector<ScanRow>& rows) {
    rows.clear();
    std::size_t at = 0;
    int line = 1;
    std::vector<std::string> fields;
    std::string fault;
    std::vector<ScanRow> read;
    bool header = true;
    while (at < text.size()) {
        const int first = line;
        if (!NextRecord(text, at, line, fields, fault)) return Error{first, fault};
        if (header) {
            header = false;
            std::string joined;
            for (std::size_t i = 0; i < fields.size(); ++i) joined += (i ? "," : "") + fields[i];
            if (joined != kHeader) return Error{first, "not the header of a scan"};
            continue;
        }
        ScanRow row;
        if (const auto problem = RowOf(fields, row)) return Error{first, *problem};
        read.push_back(std::move(row));
    }
    if (header) return Error{1, "an empty file"};
    rows = std::move(read);
    return std::nullopt;
}

}  // namespace scan_csv
