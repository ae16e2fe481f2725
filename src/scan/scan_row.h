#pragma once
// What a satellite scan found on one transponder. Empty values are what the card did not report
// or what could not be known (a carrier that did not lock has no MODCOD).
#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

struct ScanRow {
    double frequencyMHz = 0.0;  // as the satellite file writes it, e.g. 10714.25
    char polarisation = 'H';    // 'H', 'V', 'L' or 'R'
    int symbolRateKsps = 0;
    bool locked = false;
    std::optional<int> lockMs;  // from the tune to the first reading that showed lock
    // Rounded to 0.1 dB when measured, so that what the table and the CSV show is the value.
    std::optional<double> carrierToNoiseDb;
    std::optional<double> marginDb;
    std::string deliverySystem;       // "DVB-S", "DVB-S2", "DVB-S2X"
    std::string modCod;               // "DVB-S2 8PSK 2/3"
    std::vector<int> inputStreamIds;  // distinct, ascending; empty for a single stream
    std::optional<int> services;      // programs of the PAT

    bool operator==(const ScanRow&) const = default;
};

inline std::size_t LockedCount(const std::vector<ScanRow>& rows) {
    return static_cast<std::size_t>(
        std::count_if(rows.begin(), rows.end(), [](const ScanRow& row) { return row.locked; }));
}
