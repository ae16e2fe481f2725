#pragma once
// The full transport stream of one adapter: the demux's PES filter on PID 0x2000 tapped into
// dvr, read by the capture filter's streaming thread. Wake may be called from any thread; once
// woken, Wait returns Woken at once for the rest of the stream's life.
#include <cstdint>
#include <span>

#include "drivers/linuxdvb/dvb_kernel_types.h"

namespace linuxdvb {

class IDvbStreamDevice {
public:
    virtual ~IDvbStreamDevice() = default;

    // Waits for data, a Wake or the timeout. On Failed, `error` is the errno.
    virtual DvbWaitResult Wait(int timeoutMs, int& error) = 0;
    // Bytes read (> 0), 0 when nothing is there now, or the negated errno (-EOVERFLOW when the
    // kernel's buffer overflowed and lost data).
    virtual long Read(std::span<std::uint8_t> buffer) = 0;
    virtual void Wake() = 0;
};

}  // namespace linuxdvb
