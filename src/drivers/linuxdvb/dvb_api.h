#pragma once
// The one place that includes the kernel's DVB API headers. Everything of the Linux backend (and
// its tests) takes the kernel's constants and records from here.
#include <linux/dvb/dmx.h>
#include <linux/dvb/frontend.h>

namespace linuxdvb {

// The DVB core lets the kernel-internal ENOTSUPP (524) reach user space for operations a driver
// does not implement; it has no name in the C library's errno.h.
inline constexpr int kErrnoNotSupportedKernel = 524;

}  // namespace linuxdvb
