#include "platform/win/debug_output.h"

#include <errno.h>
#include <unistd.h>

#include <string>
#include <utility>

#include "platform/win/replaceable.h"

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

CReplaceable<platform::DebugOutput> g_output;

}  // namespace

void OutputDebugStringA(std::string_view text) {
    g_output.Get(platform::StandardErrorOutput())->Write(text);
}

namespace platform {

std::shared_ptr<DebugOutput> StandardErrorOutput() {
    static const auto output = std::make_shared<CStandardErrorOutput>();
    return output;
}

void SetDebugOutput(std::shared_ptr<DebugOutput> output) {
    g_output.Set(std::move(output));
}

}  // namespace platform
