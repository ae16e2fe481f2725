#pragma once
// Turns the DVB-S scan tables of Debian's dtv-scan-tables (dvbv5 channel format, one file per
// satellite, named "<satellite>-<degrees><E|W>") into satellite files (data/satellite_file.h).
//
// Choices made here:
// - Position: the text after the last '-' or '_' of the file name, "<degrees>[.<digits>]E" or
//   "...W" (upper or lower case), rounded to tenths; west is stored as 3600 minus its tenths.
//   "EutelsatW2-16E" is 16.0E, "Eutelsat5_5.0W" is 5.0W. A name without it is skipped.
// - Name: the file name without the position and the '-' or '_' before it, exactly as written
//   ("Astra-1KR-19.2E" gives "Astra-1KR"); the position is already key 1 of [SATTYPE].
// - Blocks: every "[...]" header starts one; "KEY = VALUE" lines fill it; '#' lines are
//   comments. FREQUENCY (kHz, 1 to 60 GHz), POLARIZATION and SYMBOL_RATE (sym/s, rounded to
//   kSps) are required. INNER_FEC defaults to AUTO. DELIVERY_SYSTEM (DVBS, DVBS2) and
//   MODULATION (QPSK, PSK/8, APSK/16, APSK/32, QAM/AUTO) are written only when given, as
//   DVB-S, DVB-S2, QPSK, 8PSK, 16APSK, 32APSK, AUTO. Other keys (STREAM_ID, PLS_CODE, ...) are
//   not carried. A block with a missing or unknown value or an unreadable line is skipped with
//   a note; so is a frequency given in MHz by mistake, which the 1 GHz floor catches.
// - Output: transponders in ascending frequency (then polarisation, symbol rate, ...), exact
//   duplicates once; LF line ends; a leading ';' comment names the source table.
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/satellite_file.h"

struct ScanTableName {
    int orbitalTenthsEast = 0;  // 0..3599
    std::string name;

    bool operator==(const ScanTableName&) const = default;
};

// None when the file name carries no position or nothing before it.
std::optional<ScanTableName> ParseScanTableName(std::string_view fileName);

struct ScanTableConversion {
    SatelliteFile satellite;
    int blocks = 0;                  // "[...]" blocks in the table
    int skippedBlocks = 0;           // of those, malformed ones
    int duplicates = 0;              // blocks that repeated a transponder already taken
    std::vector<std::string> notes;  // "line N: ..." for every skipped block or stray line
};

// Pure: the table's text to a satellite at the given position.
ScanTableConversion ConvertScanTable(const ScanTableName& table, std::string_view text);

// The satellite file's text, with a comment that names the source table.
std::string FormatGeneratedFile(std::string_view tableName, const SatelliteFile& satellite);

enum class SatgenStatus { Ok, InputUnreadable, OutputFailed };

struct SatgenSummary {
    SatgenStatus status = SatgenStatus::Ok;
    int tables = 0;  // regular files in the input folder
    int filesWritten = 0;
    int skippedTables = 0;  // no position in the name, or unreadable
    int blocks = 0;
    int skippedBlocks = 0;
    int duplicates = 0;
    int transponders = 0;  // lines written, over all files
};

// Converts every table of `input` (sorted by name; hidden files ignored) into
// `output`/<table name>.ini, creating `output` as needed. Notes about skipped tables and
// blocks go to `notes`, one line each, prefixed with the table's name.
SatgenSummary ConvertScanTableFolder(const std::filesystem::path& input,
                                     const std::filesystem::path& output, std::ostream& notes);

// One line: "<tables> tables: <n> files written, ..." for the build log.
std::string FormatSummary(const SatgenSummary& summary);
