#pragma once
// Plain values that cross the narrow kernel interface of the Linux backend (IDvbKernel,
// IDvbFrontendDevice, IDvbStreamDevice). Property commands and values are the kernel's own
// numbers (DTV_*, SYS_*, FEC_*, ... from dvb_api.h).
#include <cstdint>
#include <string>
#include <vector>

namespace linuxdvb {

// One frontend of /dev/dvb as found at enumeration.
struct DvbFrontendDescription {
    int adapter = 0;
    int frontend = 0;
    std::string name;                            // FE_GET_INFO's name
    std::vector<std::uint32_t> deliverySystems;  // DTV_ENUM_DELSYS: SYS_*
    std::string bus;                             // "pci", "usb" or empty (virtual, other buses)
    std::uint16_t vendor = 0;                    // from sysfs, when bus is set
    std::uint16_t product = 0;
};

// Another process that holds a device node open.
struct DvbDeviceHolder {
    int pid = 0;
    std::string command;  // its /proc/<pid>/comm
    friend bool operator==(const DvbDeviceHolder&, const DvbDeviceHolder&) = default;
};

// One property of FE_SET_PROPERTY / FE_GET_PROPERTY with a scalar value.
struct DvbProperty {
    std::uint32_t command = 0;
    std::uint32_t value = 0;
    friend bool operator==(const DvbProperty&, const DvbProperty&) = default;
};

enum class DvbScale { NotAvailable, Decibel, Relative, Counter };

// The first layer of a DVBv5 statistic, or a legacy reading (Relative, 0..65535).
struct DvbStatistic {
    DvbScale scale = DvbScale::NotAvailable;
    std::int64_t value = 0;  // Decibel: 0.001 dB (dBm for strength); Relative: 0..65535
};

// Where a statistic comes from: the DVBv5 properties first, the legacy ioctls for older drivers.
// The counters (DTV_STAT_PRE/POST_ERROR_BIT_COUNT, _TOTAL_BIT_COUNT, DTV_STAT_ERROR_BLOCK_COUNT)
// come only as DVBv5 properties.
enum class DvbStatisticSource {
    Strength,
    CarrierToNoise,
    LegacyStrength,
    LegacySnr,
    PreErrorBits,
    PreTotalBits,
    PostErrorBits,
    PostTotalBits,
    ErrorBlocks,
};

enum class DvbVoltage { Volt13, Volt18, Off };

enum class DvbWaitResult { Readable, Woken, TimedOut, Failed };

}  // namespace linuxdvb
