// A scan's CSV file through its reader. A refused file names a line the file has and leaves no
// rows. A file that reads is written again and the written text read back: it must read, and
// give the same rows, but for C/N and margin, which the writer puts in tenths of a dB (a scan
// keeps them so), so a hand-edited 11.25 comes back as 11.2. For those two the written text must
// be a fixed point: written again after the second read, it is the same text.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "scan/scan_csv.h"

namespace {

// What every row the reader gives must hold, whatever the file said.
bool IsSound(const ScanRow& row) {
    const auto finite = [](const std::optional<double>& dB) { return !dB || std::isfinite(*dB); };
    return std::isfinite(row.frequencyMHz) && row.frequencyMHz > 0 &&
           std::string_view("HVLR").find(row.polarisation) != std::string_view::npos &&
           row.symbolRateKsps > 0 && (!row.lockMs || *row.lockMs >= 0) &&
           finite(row.carrierToNoiseDb) && finite(row.marginDb) &&
           std::is_sorted(row.inputStreamIds.begin(), row.inputStreamIds.end()) &&
           std::adjacent_find(row.inputStreamIds.begin(), row.inputStreamIds.end()) ==
               row.inputStreamIds.end() &&
           std::all_of(row.inputStreamIds.begin(), row.inputStreamIds.end(),
                       [](int id) { return id >= 0 && id <= 255; }) &&
           (!row.services || *row.services >= 0);
}

// The row without C/N and margin, the two values the writer rounds.
ScanRow WithoutDecibels(ScanRow row) {
    row.carrierToNoiseDb.reset();
    row.marginDb.reset();
    return row;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<ScanRow> rows;
    if (const auto error = scan_csv::Parse(text, rows)) {
        const auto lines = std::count(text.begin(), text.end(), '\n') + 1;
        FUZZ_CHECK(rows.empty() && error->line >= 1 && error->line <= lines);
        FUZZ_CHECK(!error->text.empty());
        return 0;
    }
    FUZZ_CHECK(std::all_of(rows.begin(), rows.end(), IsSound));

    const std::string written = scan_csv::Format(rows);
    std::vector<ScanRow> reread;
    const auto error = scan_csv::Parse(written, reread);
    if (error) {
        fuzz::Fail("the written file does not read: line " + std::to_string(error->line) + ": " +
                       error->text,
                   __FILE__, __LINE__);
    }
    FUZZ_CHECK(reread.size() == rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        FUZZ_CHECK(WithoutDecibels(reread[i]) == WithoutDecibels(rows[i]));
        FUZZ_CHECK(reread[i].carrierToNoiseDb.has_value() == rows[i].carrierToNoiseDb.has_value());
        FUZZ_CHECK(reread[i].marginDb.has_value() == rows[i].marginDb.has_value());
    }
    FUZZ_CHECK(scan_csv::Format(reread) == written);
    return 0;
}
