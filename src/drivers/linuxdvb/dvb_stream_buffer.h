#pragma once
// What a stream device may tell beside IDvbStreamDevice: the size of the kernel's buffer that dvr
// fills, which is what an overflow loses at least (see CLinuxDvbCaptureOutputPin). A device that
// does not tell it (a test's) leaves the capture pin with the size the card asked for.
#include <cstddef>

namespace linuxdvb {

class IDvbStreamBuffer {
public:
    virtual std::size_t BufferBytes() const = 0;

protected:
    ~IDvbStreamBuffer() = default;
};

}  // namespace linuxdvb
