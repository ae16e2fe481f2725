// Which processes hold a device node open: a /proc tree of the test's own, then the real /proc
// with a child process that holds a file.
#include "drivers/linuxdvb/device_holders.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace linuxdvb {
namespace {

namespace fs = std::filesystem;

std::vector<DvbDeviceHolder> ByPid(std::vector<DvbDeviceHolder> holders) {
    std::sort(holders.begin(), holders.end(),
              [](const DvbDeviceHolder& a, const DvbDeviceHolder& b) { return a.pid < b.pid; });
    return holders;
}

class FakeProc {
public:
    explicit FakeProc(const CTempFolder& folder) : m_root(folder.File("proc")) {
        fs::create_directories(m_root);
    }
    const std::string& Root() const { return m_root; }
    // Process folder `name` with descriptors leading to `targets` and, unless empty, a comm file.
    void Process(const std::string& name, const std::vector<std::string>& targets,
                 const std::string& comm) const {
        const fs::path process = fs::path(m_root) / name;
        fs::create_directories(process / "fd");
        for (std::size_t fd = 0; fd < targets.size(); ++fd)
            fs::create_symlink(targets[fd], process / "fd" / std::to_string(fd + 3));
        if (!comm.empty()) WriteWholeFile((process / "comm").string(), comm + "\n");
    }

private:
    const std::string m_root;
};

TEST(DeviceHolders, EveryOtherProcessWithADescriptorOnTheNodeIsFoundWithItsCommand) {
    CTempFolder folder;
    const std::string node = folder.File("dvr0");
    const std::string other = folder.File("demux0");
    WriteWholeFile(node, "");
    WriteWholeFile(other, "");
    FakeProc proc(folder);
    proc.Process("123", {other, node}, "vlc");
    proc.Process("77", {node}, "");  // comm unreadable
    proc.Process("456", {other, folder.File("gone")}, "mpv");
    proc.Process(std::to_string(::getpid()), {node}, "self");  // the caller is never a holder
    proc.Process("self", {node}, "link");                      // not a process number
    proc.Process("12x", {node}, "odd");
    fs::create_directories(fs::path(proc.Root()) / "900");  // no fd folder to read
    EXPECT_EQ(ByPid(FindDeviceHolders(node, proc.Root())),
              (std::vector<DvbDeviceHolder>{{77, "unknown program"}, {123, "vlc"}}));
    EXPECT_TRUE(FindDeviceHolders(folder.File("no such node"), proc.Root()).empty());
    EXPECT_TRUE(FindDeviceHolders(node, folder.File("no proc")).empty());
}

TEST(DeviceHolders, AChildThatHoldsAFileIsFoundInTheRealProcAndTheCallerIsLeftOut) {
    CTempFolder folder;
    const std::string file = folder.File("held");
    WriteWholeFile(file, "");
    const int own = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(own, 0);
    int ready[2];
    int release[2];
    ASSERT_EQ(::pipe2(ready, O_CLOEXEC), 0);
    ASSERT_EQ(::pipe2(release, O_CLOEXEC), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Only async-signal-safe calls here: open the file, say so, wait to be released (the end
        // of file once the parent closes its write end, so this one's goes first).
        ::close(release[1]);
        ::close(ready[0]);
        ::prctl(PR_SET_NAME, "vlk-holder");
        const int held = ::open(file.c_str(), O_RDONLY);
        char byte = held >= 0 ? 1 : 0;
        [[maybe_unused]] const ssize_t written = ::write(ready[1], &byte, 1);
        [[maybe_unused]] const ssize_t read = ::read(release[0], &byte, 1);
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    char opened = 0;
    ASSERT_EQ(::read(ready[0], &opened, 1), 1);
    ASSERT_EQ(opened, 1);
    EXPECT_EQ(FindDeviceHolders(file),
              (std::vector<DvbDeviceHolder>{{static_cast<int>(child), "vlk-holder"}}));
    ::close(release[1]);  // the child reads end of file and ends
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(FindDeviceHolders(file).empty()) << "gone with the child";
    ::close(ready[0]);
    ::close(own);
}

TEST(DeviceHolders, DescribedAsProgramAndProcessJoinedByCommas) {
    EXPECT_EQ(DescribeHolders({}), "");
    EXPECT_EQ(DescribeHolders({{4242, "vlc"}}), "vlc (process 4242)");
    EXPECT_EQ(DescribeHolders({{4242, "vlc"}, {77, "unknown program"}}),
              "vlc (process 4242), unknown program (process 77)");
}

}  // namespace
}  // namespace linuxdvb
