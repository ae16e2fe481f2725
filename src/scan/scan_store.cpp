#include "scan/scan_store.h"

#include <fmt/format.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>

#include "platform/win/file_locations.h"
#include "platform/win/file_replacement.h"
#include "platform/win/regular_file.h"
#include "scan/scan_csv.h"

namespace scan_store {

namespace {

// Far beyond any satellite's scan (a line is under 100 bytes): anything bigger is not ours.
constexpr std::uint64_t kMaxBytes = 4 << 20;

std::string PositionText(int tenthsEast) {
    const bool west = tenthsEast > 1800;
    const int tenths = west ? 3600 - tenthsEast : tenthsEast;
    return fmt::format("{}.{}{}", tenths / 10, tenths % 10, west ? 'W' : 'E');
}

// EINVAL is what the regular-file rule says of a pipe or a device.
std::string Reason(int error) {
    return error == EINVAL ? "it is not a regular file; move it away" : std::strerror(error);
}

}  // namespace

std::string FileStem(const SatelliteFile& satellite) {
    const std::size_t dot = satellite.fileName.rfind('.');
    if (!satellite.fileName.empty() && dot != 0) return satellite.fileName.substr(0, dot);
    std::string stem = satellite.name + "-" + PositionText(satellite.orbitalTenthsEast);
    for (char& c : stem) {
        if (c == '/' || c == '\0') c = '_';
    }
    return stem;
}

std::string PathOf(const std::string& stem) {
    return platform::ScanFile(stem);
}

bool Save(const std::string& path, const std::vector<ScanRow>& rows, std::string& error) {
    const std::filesystem::path target(path);
    std::error_code failure;
    std::filesystem::create_directories(target.parent_path(), failure);
    if (failure) {
        error =
            "Cannot create the folder " + target.parent_path().string() + ": " + failure.message();
        return false;
    }
    // A folder, pipe or device at the path stays as it is and takes nothing; a new file goes
    // beside it and replaces a regular one (or the one a link leads to) only once it is whole.
    CFileReplacement replacement = CFileReplacement::Begin(path);
    int writeError =
        replacement.IsOpen() ? replacement.Write(scan_csv::Format(rows)) : replacement.Error();
    if (writeError == 0) writeError = replacement.Commit(true);
    if (writeError != 0) {
        error = "Cannot write " + path + ": " + Reason(writeError);
        return false;
    }
    return true;
}

std::optional<std::vector<ScanRow>> Load(const std::string& path, std::string& error) {
    error.clear();
    const CRegularFile file = CRegularFile::OpenToRead(path);
    if (!file.IsOpen()) {
        const int reason = file.Error();
        if (reason == EISDIR || reason == EINVAL) {
            error = path + " is not a scan file";
        } else if (reason != ENOENT) {
            error = "Cannot read " + path + ": " + Reason(reason);
        }
        return std::nullopt;
    }
    std::string text;
    if (file.Size() > kMaxBytes) {
        error = path + " is not a scan file";
    } else {
        text.resize(static_cast<std::size_t>(file.Size()));
        std::size_t got = 0;
        while (got < text.size()) {
            const std::ptrdiff_t n = file.Read(text.data() + got, text.size() - got);
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        text.resize(got);
    }
    if (!error.empty()) return std::nullopt;
    std::vector<ScanRow> rows;
    if (const auto fault = scan_csv::Parse(text, rows)) {
        error = fmt::format("{} line {}: {}", path, fault->line, fault->text);
        return std::nullopt;
    }
    return rows;
}

}  // namespace scan_store
