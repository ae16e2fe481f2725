#include "platform/win/debug_output.h"

#include <errno.h>
#include <unistd.h>

#include <mutex>
#include <string>
#include <utility>

namespace {

class CStandardErrorOutput final : public platform::DebugOutput {
public:
    void Write(std::string_view text) override {
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
};

// Swapped under a lock and used outside it through a shared copy, so it may be replaced while
// other threads write.
std::mutex g_outputLock;
std::shared_ptr<platform::DebugOutput> g_pOutput;

std::shared_ptr<platform::DebugOutput> CurrentOutput() {
    {
        const std::lock_guard<std::mutex> lock(g_outputLock);
        if (g_pOutput) return g_pOutput;
    }
    return platform::StandardErrorOutput();
}

}  // namespace

void OutputDebugStringA(std::string_view text) {
    CurrentOutput()->Write(text);
}

namespace platform {

std::shared_ptr<DebugOutput> StandardErrorOutput() {
    static const auto output = std::make_shared<CStandardErrorOutput>();
    return output;
}

void SetDebugOutput(std::shared_ptr<DebugOutput> output) {
    const std::lock_guard<std::mutex> lock(g_outputLock);
    g_pOutput.swap(output);
}

}  // namespace platform
