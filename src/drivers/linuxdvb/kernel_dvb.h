#pragma once
// IDvbKernel on the kernel's DVB API: frontends found under /dev/dvb (adapterN/frontendM), their
// names and delivery systems from FE_GET_INFO and DTV_ENUM_DELSYS, their bus ids from
// sysfs
// (/sys/class/dvb/dvbN.frontendM/device).
#include <string>

#include "drivers/linuxdvb/dvb_kernel.h"

namespace linuxdvb {

class CKernelDvb : public IDvbKernel {
public:
    CKernelDvb();
    // Other roots for the device nodes and the sysfs class folder.
    CKernelDvb(std::string deviceRoot, std::string sysfsRoot);

    std::vector<DvbFrontendDescription> Enumerate() override;
    int OpenFrontend(int adapter, int frontend,
                     std::unique_ptr<IDvbFrontendDevice>& device) override;
    int OpenStream(int adapter, int frontend, std::size_t bufferBytes,
                   std::unique_ptr<IDvbStreamDevice>& device) override;
    std::vector<DvbDeviceHolder> Holders(int adapter, const std::string& kind, int index) override;

private:
    std::string NodePath(int adapter, const char* kind, int index) const;
    void ReadBusIds(DvbFrontendDescription& description) const;

    const std::string m_strDeviceRoot;
    const std::string m_strSysfsRoot;
};

}  // namespace linuxdvb
