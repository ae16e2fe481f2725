#include "drivers/sim/sim_trace.h"

#include <fmt/format.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <utility>

#include "drivers/sim/sim_clock.h"
#include "platform/win/known_folders.h"
#include "platform/win/regular_file.h"

namespace {

std::mutex g_traceLock;

std::string LocalTimestamp() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return fmt::format("{}.{:03}", text, ms);
}

// The file that a link at `path` leads to is the one moved aside, so the link keeps leading to
// the trace.
std::string TargetOf(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return path;
    std::string target(resolved);
    ::free(resolved);
    return target;
}

// Moves the full trace aside; `file` is it, opened at `path`. Returns the file to append to next,
// not open when the trace cannot be moved aside (its lines are then lost, so that it stays
// bounded).
CRegularFile MoveAside(CRegularFile file, const std::string& path) {
    // Another program on the same trace may be moving it aside right now: its lock tells. The
    // line then goes to the old file, one line over the size, rather than being lost.
    if (::flock(file.Handle(), LOCK_EX | LOCK_NB) != 0) return file;
    // Or it already has: the path leads to its new file, which takes the line.
    if (!file.IsAt(path)) return CRegularFile::OpenToAppend(path);
    const std::string target = TargetOf(path);
    if (::rename(target.c_str(), (target + CSimTrace::kOlderSuffix).c_str()) != 0) return {};
    file.Close();  // the lock goes with it: a program waiting for it finds the new file
    return CRegularFile::OpenToAppend(path);
}

}  // namespace

std::string CSimTrace::Path() {
    return platform::JoinPath(platform::DriveCRoot(), kFileName);
}

void CSimTrace::Write(std::string_view card, std::uint64_t simTicks, std::string_view event) {
    const std::uint64_t ms = simTicks / CSimClock::kTicksPerMs;
    const std::string line =
        fmt::format("{} {}.{:03} {} {}\n", LocalTimestamp(), ms / 1000, ms % 1000, card, event);
    const std::string path = Path();
    std::lock_guard guard(g_traceLock);
    CRegularFile file = CRegularFile::OpenToAppend(path);
    if (!file.IsOpen()) return;
    // An empty file takes any line, so that a line longer than the limit is not lost.
    if (file.Size() > 0 && file.Size() + line.size() > kRotateSize) {
        file = MoveAside(std::move(file), path);
        if (!file.IsOpen()) return;
    }
    file.Write(line);
}

std::string CSimTrace::Hex(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) text += ' ';
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}
