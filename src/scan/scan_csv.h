#pragma once
// A scan as comma-separated values (RFC 4180): a header line, then one line per transponder;
// fields with a comma, a quote or a line end in quotes, quotes doubled; CRLF line ends; '.' as the
// decimal point whatever the locale; an empty field for what is not known.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scan/scan_row.h"

namespace scan_csv {

inline constexpr std::string_view kHeader =
    "Frequency (MHz),Polarisation,Symbol rate (kSps),Locked,Lock time (s),C/N (dB),Margin (dB),"
    "System,MODCOD,ISIs,Services";

struct Error {
    int line = 0;  // 1-based, the line where the faulty record begins
    std::string text;

    bool operator==(const Error&) const = default;
};

std::string Format(const std::vector<ScanRow>& rows);
// Reads what Format wrote into `rows`. A file that is not such a scan gives the first faulty
// line and leaves `rows` empty.
std::optional<Error> Parse(std::string_view text, std::vector<ScanRow>& rows);

}  // namespace scan_csv
