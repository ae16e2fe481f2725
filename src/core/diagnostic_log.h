#pragma once
// The diagnostic log "c:\Keplin.log" (platform::DiagnosticLogFile): one line per call,
//   [mm/dd/yy hh:mm:ss : tttttttt] message
// with the tick count right-aligned in 8 characters (blank when 0), the line cut at 254
// characters and ended with CR LF. The file is opened, appended to and closed for every line;
// a line that cannot be written is lost and the program goes on. Only a regular file (or a link
// to one) is written: anything else at the path is passed over, as if it could not be written.
// A line that would take the log past kRotateSize first moves it to Keplin.log.1, replacing the
// older one (see rotating_log): a program left running for months keeps two files at most.
#include <fmt/format.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

void WriteLogLine(std::string_view message);

// The message is formatted type-safely: a caller's text is only ever an argument, never a format.
template <typename... Args>
void WriteLog(fmt::format_string<Args...> format, Args&&... args) {
    WriteLogLine(fmt::format(format, std::forward<Args>(args)...));
}

namespace diagnostic_log {
// 4 MiB: some 20,000 lines, weeks of tuning and recording.
inline constexpr std::uint64_t kRotateSize = std::uint64_t{4} << 20;
// The line as written for `message` at the given date, time and tick count (without CR LF).
std::string FormatLine(std::string_view date, std::string_view time, int tickCount,
                       std::string_view message);
}  // namespace diagnostic_log
