#include "drivers/sim/sim_trace.h"

#include <fmt/format.h>

#include <chrono>
#include <ctime>
#include <mutex>

#include "drivers/sim/sim_clock.h"
#include "platform/win/file_locations.h"
#include "platform/win/rotating_log.h"

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

}  // namespace

std::string CSimTrace::Path() {
    return platform::SimTraceFile();
}

void CSimTrace::Write(std::string_view card, std::uint64_t simTicks, std::string_view event) {
    const std::uint64_t ms = simTicks / CSimClock::kTicksPerMs;
    const std::string line =
        fmt::format("{} {}.{:03} {} {}\n", LocalTimestamp(), ms / 1000, ms % 1000, card, event);
    const std::string path = Path();
    std::lock_guard guard(g_traceLock);
    rotating_log::Append(path, line, kRotateSize);
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
