#pragma once
// IDvbStreamDevice on the kernel's dvr and demux devices of one adapter, with a pipe that wakes
// a waiting reader. Owns the three descriptors; the PES filter stops when the demux closes.
#include "drivers/linuxdvb/dvb_stream_device.h"

namespace linuxdvb {

class CKernelStreamDevice : public IDvbStreamDevice {
public:
    // Takes the open dvr and demux descriptors and a non-blocking pipe.
    CKernelStreamDevice(int dvr, int demux, int wakeRead, int wakeWrite);
    ~CKernelStreamDevice() override;
    CKernelStreamDevice(const CKernelStreamDevice&) = delete;
    CKernelStreamDevice& operator=(const CKernelStreamDevice&) = delete;

    DvbWaitResult Wait(int timeoutMs, int& error) override;
    long Read(std::span<std::uint8_t> buffer) override;
    void Wake() override;

private:
    const int m_hDvr;
    const int m_hDemux;
    const int m_hWakeRead;
    const int m_hWakeWrite;
};

}  // namespace linuxdvb
