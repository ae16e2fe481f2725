#include "platform/devices/udev_device_monitor.h"

#include <libudev.h>
#include <poll.h>
#include <unistd.h>

#include "platform/devices/device_event_hub.h"
#include "platform/win/debug_output.h"

CUdevDeviceMonitor::CUdevDeviceMonitor() {
    m_pUdev = udev_new();
    if (m_pUdev != nullptr) m_pMonitor = udev_monitor_new_from_netlink(m_pUdev, "udev");
    if (m_pMonitor == nullptr ||
        udev_monitor_filter_add_match_subsystem_devtype(m_pMonitor, "dvb", nullptr) < 0 ||
        udev_monitor_enable_receiving(m_pMonitor) < 0 || ::pipe(m_wakePipe) != 0) {
        OutputDebugStringA("udev device events are not available: device removal is not watched");
        return;
    }
    m_thread = std::thread([this, fd = udev_monitor_get_fd(m_pMonitor)] { Watch(fd); });
}

CUdevDeviceMonitor::~CUdevDeviceMonitor() {
    if (m_thread.joinable()) {
        const char stop = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wakePipe[1], &stop, 1);
        m_thread.join();
    }
    for (const int fd : m_wakePipe) {
        if (fd >= 0) ::close(fd);
    }
    if (m_pMonitor != nullptr) udev_monitor_unref(m_pMonitor);
    if (m_pUdev != nullptr) udev_unref(m_pUdev);
}

std::optional<DWORD> CUdevDeviceMonitor::EventForAction(std::string_view action) {
    if (action == "add") return DBT_DEVICEARRIVAL;
    if (action == "remove") return DBT_DEVICEREMOVECOMPLETE;
    return std::nullopt;
}

void CUdevDeviceMonitor::Watch(int udevFd) {
    pollfd fds[2] = {{udevFd, POLLIN, 0}, {m_wakePipe[0], POLLIN, 0}};
    while (true) {
        if (::poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents != 0) return;
        if ((fds[0].revents & POLLIN) == 0) continue;
        udev_device* device = udev_monitor_receive_device(m_pMonitor);
        if (device == nullptr) continue;
        const char* action = udev_device_get_action(device);
        if (const auto event = EventForAction(action != nullptr ? action : "")) {
            CDeviceEventHub::Instance().Broadcast(*event);
        }
        udev_device_unref(device);
    }
}
