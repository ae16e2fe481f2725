#include "drivers/linuxdvb/kernel_stream_device.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace linuxdvb {

std::size_t CKernelStreamDevice::TakeBufferSize(
    std::size_t wanted, const std::function<int(std::size_t bytes)>& setSize, int& error) {
    error = 0;
    for (std::size_t size = wanted;; size /= 2) {
        error = setSize(size);
        if (error == 0) return size;
        // Only memory is worth asking again for with less.
        if (error != ENOMEM || size / 2 < kMinBufferBytes) return 0;
    }
}

CKernelStreamDevice::CKernelStreamDevice(int dvr, int demux, int wakeRead, int wakeWrite,
                                         std::size_t bufferBytes)
    : m_hDvr(dvr),
      m_hDemux(demux),
      m_hWakeRead(wakeRead),
      m_hWakeWrite(wakeWrite),
      m_nBufferBytes(bufferBytes) {}

CKernelStreamDevice::~CKernelStreamDevice() {
    // The filter first: the kernel stops feeding dvr when the demux closes.
    close(m_hDemux);
    close(m_hDvr);
    close(m_hWakeRead);
    close(m_hWakeWrite);
}

DvbWaitResult CKernelStreamDevice::Wait(int timeoutMs, int& error) {
    error = 0;
    pollfd fds[2] = {{m_hWakeRead, POLLIN, 0}, {m_hDvr, POLLIN, 0}};
    const int ready = poll(fds, 2, timeoutMs);
    if (ready < 0) {
        error = errno;
        return error == EINTR ? DvbWaitResult::TimedOut : DvbWaitResult::Failed;
    }
    // The wake byte stays in the pipe, so every later wait returns at once too.
    if ((fds[0].revents & POLLIN) != 0) return DvbWaitResult::Woken;
    // An error or hang-up (device gone) is reported by the read that follows.
    if ((fds[1].revents & (POLLIN | POLLERR | POLLHUP | POLLNVAL)) != 0)
        return DvbWaitResult::Readable;
    return DvbWaitResult::TimedOut;
}

long CKernelStreamDevice::Read(std::span<std::uint8_t> buffer) {
    const ssize_t count = read(m_hDvr, buffer.data(), buffer.size());
    if (count >= 0) return static_cast<long>(count);
    const int error = errno;
    if (error == EAGAIN || error == EWOULDBLOCK || error == EINTR) return 0;
    return -error;
}

void CKernelStreamDevice::Wake() {
    const char byte = 1;
    // A full pipe already wakes the reader; nothing to do about a failure here.
    [[maybe_unused]] const ssize_t written = write(m_hWakeWrite, &byte, 1);
}

}  // namespace linuxdvb
