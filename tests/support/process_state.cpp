#include "support/process_state.h"

#include <signal.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "support/temp_folder.h"

bool IsProcessRunning(pid_t pid) {
    if (::kill(pid, 0) != 0) return false;
    const std::string stat = ReadWholeFile("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t name = stat.rfind(')');
    return name == std::string::npos || name + 2 >= stat.size() || stat[name + 2] != 'Z';
}

std::vector<pid_t> WaitForPidsIn(const std::string& file) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    std::string text;
    while ((text = ReadWholeFile(file)).empty() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::istringstream numbers(text);
    std::vector<pid_t> pids;
    for (pid_t pid = 0; numbers >> pid;) pids.push_back(pid);
    return pids;
}
