#pragma once
// An open DVB frontend (/dev/dvb/adapterN/frontendM, read-write): the tuning, SEC and status
// calls the Linux backend makes. Every call returns 0 or the errno of the failed system call,
// read right after it. The real one is CKernelFrontendDevice; tests use a fake.
#include <cstdint>
#include <span>

#include "drivers/linuxdvb/dvb_kernel_types.h"

namespace linuxdvb {

class IDvbFrontendDevice {
public:
    virtual ~IDvbFrontendDevice() = default;

    // FE_SET_PROPERTY with the properties in order, in one call.
    virtual int SetProperties(std::span<const DvbProperty> properties) = 0;
    // FE_GET_PROPERTY: fills each property's value.
    virtual int GetProperties(std::span<DvbProperty> properties) = 0;
    virtual int ReadStatistic(DvbStatisticSource source, DvbStatistic& statistic) = 0;
    // FE_READ_STATUS: FE_HAS_* bits.
    virtual int ReadStatus(std::uint32_t& status) = 0;
    virtual int SetVoltage(DvbVoltage voltage) = 0;
    virtual int SetTone(bool on) = 0;
    // FE_DISEQC_SEND_MASTER_CMD, 3..6 bytes.
    virtual int SendDiseqc(std::span<const std::uint8_t> message) = 0;
};

}  // namespace linuxdvb
