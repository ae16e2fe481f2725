#pragma once
// Which processes hold a device node open, found through /proc/<pid>/fd: every open descriptor
// there that leads to the node's inode. Only processes whose descriptor folders this user may
// read are seen (all of them for root); the caller's own process is left out.
#include <string>
#include <vector>

#include "drivers/linuxdvb/dvb_kernel_types.h"

namespace linuxdvb {

std::vector<DvbDeviceHolder> FindDeviceHolders(const std::string& nodePath,
                                               const std::string& procRoot = "/proc");

// "name (process 123)", several joined by ", "; empty for none.
std::string DescribeHolders(const std::vector<DvbDeviceHolder>& holders);

}  // namespace linuxdvb
