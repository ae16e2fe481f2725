#pragma once
// IDvbStreamDevice on the kernel's dvr and demux devices of one adapter, with a pipe that wakes
// a waiting reader. Owns the three descriptors; the PES filter stops when the demux closes.
//
// dvr's buffer: dmxdev.c allocates what DMX_SET_BUFFER_SIZE asks for with vmalloc and refuses a
// size only when it cannot get the memory (ENOMEM; 0 is EINVAL); it sets no upper limit. A
// refused size leaves the buffer as it was, DVR_BUFFER_SIZE after the open.
#include <cstddef>
#include <functional>

#include "drivers/linuxdvb/dvb_stream_buffer.h"
#include "drivers/linuxdvb/dvb_stream_device.h"

namespace linuxdvb {

class CKernelStreamDevice : public IDvbStreamDevice, public IDvbStreamBuffer {
public:
    // dmxdev.h's DVR_BUFFER_SIZE: dvr's buffer when no size was taken.
    static constexpr std::size_t kDefaultBufferBytes = std::size_t{10} * 188 * 1024;
    // The smallest size tried for a fast stream before the default is left in place.
    static constexpr std::size_t kMinBufferBytes = 4u << 20;

    // Asks `setSize` (0 or the errno of DMX_SET_BUFFER_SIZE) for `wanted` bytes, then, while the
    // memory is refused, for halves of it down to kMinBufferBytes. The size taken, or 0 with
    // `error` set when none was.
    static std::size_t TakeBufferSize(std::size_t wanted,
                                      const std::function<int(std::size_t bytes)>& setSize,
                                      int& error);

    // Takes the open dvr and demux descriptors and a non-blocking pipe; `bufferBytes` is the size
    // of dvr's buffer.
    CKernelStreamDevice(int dvr, int demux, int wakeRead, int wakeWrite, std::size_t bufferBytes);
    ~CKernelStreamDevice() override;
    CKernelStreamDevice(const CKernelStreamDevice&) = delete;
    CKernelStreamDevice& operator=(const CKernelStreamDevice&) = delete;

    DvbWaitResult Wait(int timeoutMs, int& error) override;
    long Read(std::span<std::uint8_t> buffer) override;
    void Wake() override;
    std::size_t BufferBytes() const override { return m_nBufferBytes; }

private:
    const int m_hDvr;
    const int m_hDemux;
    const int m_hWakeRead;
    const int m_hWakeWrite;
    const std::size_t m_nBufferBytes;
};

}  // namespace linuxdvb
