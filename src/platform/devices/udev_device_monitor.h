#pragma once
// Watches the kernel's DVB devices through udev and broadcasts their arrival and removal to
// the windows, the way the system broadcasts device changes. Without access to udev events
// (a container, a sandbox) it says so on the debugger output and stays idle.
#include <atomic>
#include <optional>
#include <string_view>
#include <thread>

#include "platform/com/win_types.h"

class CUdevDeviceMonitor {
public:
    CUdevDeviceMonitor();
    CUdevDeviceMonitor(const CUdevDeviceMonitor&) = delete;
    CUdevDeviceMonitor& operator=(const CUdevDeviceMonitor&) = delete;
    ~CUdevDeviceMonitor();

    bool IsWatching() const { return m_thread.joinable(); }

    // The device-change event for a udev action ("add", "remove"); none for the others.
    static std::optional<DWORD> EventForAction(std::string_view action);

private:
    void Watch(int udevFd);

    struct udev* m_pUdev = nullptr;
    struct udev_monitor* m_pMonitor = nullptr;
    int m_wakePipe[2] = {-1, -1};
    std::thread m_thread;
};
