#include "platform/win/debug_output.h"

#include <errno.h>
#include <unistd.h>

#include <memory>
#include <mutex>
#include <string>
#include <utility>

namespace {

using DebugSink = std::function<void(std::string_view)>;

std::mutex g_sinkLock;
std::shared_ptr<const DebugSink> g_pSink;

std::shared_ptr<const DebugSink> CurrentSink() {
    const std::lock_guard<std::mutex> lock(g_sinkLock);
    return g_pSink;
}

}  // namespace

void OutputDebugStringA(std::string_view text) {
    if (const auto sink = CurrentSink()) {
        (*sink)(text);
        return;
    }
    // The whole line goes out in one write() so that lines of concurrent threads do not mix.
    std::string line(text);
    if (line.empty() || line.back() != '\n') line.push_back('\n');
    const char* data = line.data();
    std::size_t left = line.size();
    while (left > 0) {
        const ssize_t written = ::write(STDERR_FILENO, data, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            return;  // nowhere to report a failing standard error; the line is lost
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
}

namespace platform {

void SetDebugOutputSinkForTesting(std::function<void(std::string_view)> sink) {
    std::shared_ptr<const DebugSink> replacement;
    if (sink) replacement = std::make_shared<const DebugSink>(std::move(sink));
    const std::lock_guard<std::mutex> lock(g_sinkLock);
    g_pSink.swap(replacement);
}

}  // namespace platform
