#include "drivers/linuxdvb/kernel_dvb.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <system_error>

#include "drivers/linuxdvb/device_holders.h"
#include "drivers/linuxdvb/dvb_api.h"
#include "drivers/linuxdvb/kernel_frontend_device.h"
#include "drivers/linuxdvb/kernel_stream_device.h"
#include "platform/win/debug_output.h"

namespace linuxdvb {

namespace {

namespace fs = std::filesystem;

constexpr std::uint16_t kFullTransportStreamPid = 0x2000;

// "adapter12" -> 12 for prefix "adapter".
std::optional<int> NumberAfter(const std::string& name, std::string_view prefix) {
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
        return std::nullopt;
    int value = 0;
    const char* first = name.data() + prefix.size();
    const char* last = name.data() + name.size();
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc{} || end != last || value < 0) return std::nullopt;
    return value;
}

std::vector<int> NumberedEntries(const fs::path& folder, std::string_view prefix) {
    std::vector<int> numbers;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (const auto number = NumberAfter(it->path().filename().string(), prefix))
            numbers.push_back(*number);
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

// A sysfs id file ("0x14f1\n" or "14f1\n") as a number.
std::optional<std::uint16_t> ReadHexId(const fs::path& file) {
    std::ifstream in(file);
    std::string text;
    if (!in || !std::getline(in, text)) return std::nullopt;
    if (text.rfind("0x", 0) == 0) text.erase(0, 2);
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (error != std::errc{} || end == text.data() || value > 0xFFFF) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

int OpenNode(const std::string& path, int flags) {
    const int fd = open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return -errno;
    return fd;
}

}  // namespace

CKernelDvb::CKernelDvb() : CKernelDvb("/dev/dvb", "/sys/class/dvb") {}

CKernelDvb::CKernelDvb(std::string deviceRoot, std::string sysfsRoot)
    : m_strDeviceRoot(std::move(deviceRoot)), m_strSysfsRoot(std::move(sysfsRoot)) {}

std::string CKernelDvb::NodePath(int adapter, const char* kind, int index) const {
    return fmt::format("{}/adapter{}/{}{}", m_strDeviceRoot, adapter, kind, index);
}

void CKernelDvb::ReadBusIds(DvbFrontendDescription& description) const {
    const fs::path device =
        fs::path(m_strSysfsRoot) /
        fmt::format("dvb{}.frontend{}", description.adapter, description.frontend) / "device";
    std::error_code error;
    const fs::path subsystem = fs::read_symlink(device / "subsystem", error);
    if (error) return;
    const std::string bus = subsystem.filename().string();
    if (bus == "pci") {
        const auto vendor = ReadHexId(device / "vendor");
        const auto product = ReadHexId(device / "device");
        if (!vendor || !product) return;
        description.bus = bus;
        description.vendor = *vendor;
        description.product = *product;
    } else if (bus == "usb") {
        // The adapter hangs off the USB device or one of its interfaces.
        for (const fs::path& folder : {device, device / ".."}) {
            const auto vendor = ReadHexId(folder / "idVendor");
            const auto product = ReadHexId(folder / "idProduct");
            if (vendor && product) {
                description.bus = bus;
                description.vendor = *vendor;
                description.product = *product;
                return;
            }
        }
    }
}

std::vector<DvbFrontendDescription> CKernelDvb::Enumerate() {
    std::vector<DvbFrontendDescription> frontends;
    for (const int adapter : NumberedEntries(m_strDeviceRoot, "adapter")) {
        const fs::path folder = fs::path(m_strDeviceRoot) / fmt::format("adapter{}", adapter);
        for (const int frontend : NumberedEntries(folder, "frontend")) {
            const std::string path = NodePath(adapter, "frontend", frontend);
            // Read-only: asking does not take the frontend from a program that tunes it.
            const int fd = OpenNode(path, O_RDONLY | O_NONBLOCK);
            if (fd < 0) {
                OutputDebugStringA(
                    fmt::format("linuxdvb: cannot open {}: {}", path, std::strerror(-fd)));
                continue;
            }
            DvbFrontendDescription description;
            description.adapter = adapter;
            description.frontend = frontend;
            dvb_frontend_info info{};
            dtv_property property{};
            property.cmd = DTV_ENUM_DELSYS;
            dtv_properties request{1, &property};
            int failure = 0;
            if (ioctl(fd, FE_GET_INFO, &info) != 0 || ioctl(fd, FE_GET_PROPERTY, &request) != 0) {
                failure = errno;
            }
            close(fd);
            if (failure != 0) {
                OutputDebugStringA(
                    fmt::format("linuxdvb: cannot ask {}: {}", path, std::strerror(failure)));
                continue;
            }
            description.name.assign(info.name, strnlen(info.name, sizeof(info.name)));
            const std::uint32_t count =
                std::min<std::uint32_t>(property.u.buffer.len, sizeof(property.u.buffer.data));
            for (std::uint32_t i = 0; i < count; ++i)
                description.deliverySystems.push_back(property.u.buffer.data[i]);
            ReadBusIds(description);
            frontends.push_back(std::move(description));
        }
    }
    return frontends;
}

int CKernelDvb::OpenFrontend(int adapter, int frontend,
                             std::unique_ptr<IDvbFrontendDevice>& device) {
    device.reset();
    const int fd = OpenNode(NodePath(adapter, "frontend", frontend), O_RDWR | O_NONBLOCK);
    if (fd < 0) return -fd;
    device = std::make_unique<CKernelFrontendDevice>(fd);
    return 0;
}

int CKernelDvb::OpenStream(int adapter, int frontend, std::size_t bufferBytes,
                           std::unique_ptr<IDvbStreamDevice>& device) {
    device.reset();
    // The demux and dvr of the frontend's number where the adapter has them, else the first.
    int index = frontend;
    if (access(NodePath(adapter, "dvr", index).c_str(), F_OK) != 0) index = 0;
    const int dvr = OpenNode(NodePath(adapter, "dvr", index), O_RDONLY | O_NONBLOCK);
    if (dvr < 0) return -dvr;
    // The TS tap fills dvr's own buffer: its size is set on dvr. Where memory is short, a smaller
    // buffer still holds far more than the driver's default.
    int sizeError = 0;
    std::size_t taken = CKernelStreamDevice::TakeBufferSize(
        bufferBytes,
        [dvr](std::size_t bytes) {
            return ioctl(dvr, DMX_SET_BUFFER_SIZE, static_cast<unsigned long>(bytes)) == 0 ? 0
                                                                                           : errno;
        },
        sizeError);
    if (taken == bufferBytes) {
        OutputDebugStringA(fmt::format("linuxdvb: dvr buffer of {} bytes", taken));
    } else if (taken != 0) {
        OutputDebugStringA(fmt::format("linuxdvb: dvr buffer of {} bytes ({} refused: no memory)",
                                       taken, bufferBytes));
    } else {
        taken = CKernelStreamDevice::kDefaultBufferBytes;
        const bool halved =
            sizeError == ENOMEM && bufferBytes / 2 >= CKernelStreamDevice::kMinBufferBytes;
        OutputDebugStringA(fmt::format(
            "linuxdvb: dvr buffer of {} bytes{} refused ({}): the driver's {} bytes stay",
            bufferBytes, halved ? " and its halves" : "", std::strerror(sizeError), taken));
    }
    const int demux = OpenNode(NodePath(adapter, "demux", index), O_RDWR | O_NONBLOCK);
    if (demux < 0) {
        close(dvr);
        return -demux;
    }
    dmx_pes_filter_params filter{};
    filter.pid = kFullTransportStreamPid;
    filter.input = DMX_IN_FRONTEND;
    filter.output = DMX_OUT_TS_TAP;
    filter.pes_type = DMX_PES_OTHER;
    filter.flags = DMX_IMMEDIATE_START;
    int pipeFds[2] = {-1, -1};
    if (ioctl(demux, DMX_SET_PES_FILTER, &filter) != 0 ||
        pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC) != 0) {
        const int error = errno;
        close(demux);
        close(dvr);
        return error;
    }
    device = std::make_unique<CKernelStreamDevice>(dvr, demux, pipeFds[0], pipeFds[1], taken);
    return 0;
}

std::vector<DvbDeviceHolder> CKernelDvb::Holders(int adapter, const std::string& kind, int index) {
    return FindDeviceHolders(NodePath(adapter, kind.c_str(), index));
}

}  // namespace linuxdvb
