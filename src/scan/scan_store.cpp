#include "scan/scan_store.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/win/known_folders.h"
#include "scan/scan_csv.h"

namespace scan_store {

namespace {

constexpr const char* kFolder = "Scans";
// Far beyond any satellite's scan (a line is under 100 bytes): anything bigger is not ours.
constexpr off_t kMaxBytes = 4 << 20;

std::string PositionText(int tenthsEast) {
    const bool west = tenthsEast > 1800;
    const int tenths = west ? 3600 - tenthsEast : tenthsEast;
    return fmt::format("{}.{}{}", tenths / 10, tenths % 10, west ? 'W' : 'E');
}

std::string Reason(int error) {
    return std::strerror(error);
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
    return platform::JoinPath(platform::JoinPath(platform::ConfigFolder(), kFolder), stem + ".csv");
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
    const std::string temporary = path + ".new";
    const std::string text = scan_csv::Format(rows);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "Cannot write " + temporary + ": " + Reason(errno);
        return false;
    }
    std::size_t written = 0;
    int writeError = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            writeError = n < 0 ? errno : EIO;
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    if (writeError == 0 && ::fsync(fd) != 0) writeError = errno;
    if (::close(fd) != 0 && writeError == 0) writeError = errno;
    if (writeError == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) writeError = errno;
    if (writeError != 0) {
        ::unlink(temporary.c_str());
        error = "Cannot write " + path + ": " + Reason(writeError);
        return false;
    }
    return true;
}

std::optional<std::vector<ScanRow>> Load(const std::string& path, std::string& error) {
    error.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT) error = "Cannot read " + path + ": " + Reason(errno);
        return std::nullopt;
    }
    struct stat info {};
    std::string text;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kMaxBytes) {
        error = path + " is not a scan file";
    } else {
        text.resize(static_cast<std::size_t>(info.st_size));
        std::size_t got = 0;
        while (got < text.size()) {
            const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        text.resize(got);
    }
    ::close(fd);
    if (!error.empty()) return std::nullopt;
    std::vector<ScanRow> rows;
    if (const auto fault = scan_csv::Parse(text, rows)) {
        error = fmt::format("{} line {}: {}", path, fault->line, fault->text);
        return std::nullopt;
    }
    return rows;
}

}  // namespace scan_store
