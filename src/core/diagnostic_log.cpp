#include "core/diagnostic_log.h"

#include <ctime>
#include <mutex>
#include <string>

#include "platform/win/file_locations.h"
#include "platform/win/rotating_log.h"
#include "platform/win/system_clock.h"
#include "platform/win/text_encoding.h"

namespace {
constexpr std::size_t kMaxLineCharacters = 254;
std::mutex g_logLock;
}  // namespace

namespace diagnostic_log {

std::string FormatLine(std::string_view date, std::string_view time, int tickCount,
                       std::string_view message) {
    // "%8.0d": a count of 0 prints no digit at all, so the field is eight blanks.
    const std::string tick = tickCount == 0 ? std::string(8, ' ') : fmt::format("{:>8}", tickCount);
    std::wstring line =
        platform::Utf8ToWide(fmt::format("[{} {} : {}] {}", date, time, tick, message));
    if (line.size() > kMaxLineCharacters) line.resize(kMaxLineCharacters);
    return platform::WideToUtf8(line);
}

}  // namespace diagnostic_log

void WriteLogLine(std::string_view message) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char date[16];
    char time[16];
    std::strftime(date, sizeof date, "%m/%d/%y", &local);
    std::strftime(time, sizeof time, "%H:%M:%S", &local);
    const auto tick = static_cast<int>(GetTickCount());
    // Text mode: every line feed, the caller's own included, becomes CR LF.
    std::string line;
    for (const char c : diagnostic_log::FormatLine(date, time, tick, message)) {
        if (c == '\n') line += '\r';
        line += c;
    }
    line += "\r\n";

    std::lock_guard guard(g_logLock);
    // A pipe or a device at the log's place would hang the program or take the lines away.
    rotating_log::Append(platform::DiagnosticLogFile(), line, diagnostic_log::kRotateSize);
}
