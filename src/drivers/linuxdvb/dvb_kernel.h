#pragma once
// The narrow kernel interface of the Linux backend: enumerate the frontends of /dev/dvb and
// open a frontend or an adapter's stream. CKernelDvb is the real one; tests use a fake.
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "drivers/linuxdvb/dvb_frontend_device.h"
#include "drivers/linuxdvb/dvb_kernel_types.h"
#include "drivers/linuxdvb/dvb_stream_device.h"

namespace linuxdvb {

class IDvbKernel {
public:
    virtual ~IDvbKernel() = default;

    // Every frontend, in (adapter, frontend) order; one that cannot be asked is left out.
    virtual std::vector<DvbFrontendDescription> Enumerate() = 0;
    // 0 or the errno; opens read-write.
    virtual int OpenFrontend(int adapter, int frontend,
                             std::unique_ptr<IDvbFrontendDevice>& device) = 0;
    // dvr first (so no packet is lost), its buffer set to `bufferBytes`, then the demux's PES
    // filter on PID 0x2000 started into it. 0 or the errno.
    virtual int OpenStream(int adapter, int frontend, std::size_t bufferBytes,
                           std::unique_ptr<IDvbStreamDevice>& device) = 0;
    // The other processes that hold an adapter's node open (`kind` "frontend" or "dvr"), as far
    // as the system lets this user see them: tells the user who has a busy tuner.
    virtual std::vector<DvbDeviceHolder> Holders(int adapter, const std::string& kind,
                                                 int index) = 0;
};

}  // namespace linuxdvb
