#include "drivers/linuxdvb/device_holders.h"

#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace linuxdvb {

namespace {

namespace fs = std::filesystem;

std::string CommandOf(const fs::path& process) {
    std::ifstream in(process / "comm");
    std::string command;
    std::getline(in, command);
    return command.empty() ? std::string("unknown program") : command;
}

bool HoldsInode(const fs::path& process, const struct stat& node) {
    std::error_code error;
    for (fs::directory_iterator it(process / "fd", error), end; !error && it != end;
         it.increment(error)) {
        struct stat target {};
        // stat follows the descriptor's link to the object it has open.
        if (::stat(it->path().c_str(), &target) == 0 && target.st_dev == node.st_dev &&
            target.st_ino == node.st_ino) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::vector<DvbDeviceHolder> FindDeviceHolders(const std::string& nodePath,
                                               const std::string& procRoot) {
    std::vector<DvbDeviceHolder> holders;
    struct stat node {};
    if (::stat(nodePath.c_str(), &node) != 0) return holders;
    const int self = static_cast<int>(::getpid());
    std::error_code error;
    for (fs::directory_iterator it(procRoot, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        int pid = 0;
        const auto [last, parsed] = std::from_chars(name.data(), name.data() + name.size(), pid);
        if (parsed != std::errc{} || last != name.data() + name.size() || pid == self) continue;
        if (HoldsInode(it->path(), node)) holders.push_back({pid, CommandOf(it->path())});
    }
    return holders;
}

std::string DescribeHolders(const std::vector<DvbDeviceHolder>& holders) {
    std::string text;
    for (const DvbDeviceHolder& holder : holders) {
        if (!text.empty()) text += ", ";
        text += fmt::format("{} (process {})", holder.command, holder.pid);
    }
    return text;
}

}  // namespace linuxdvb
