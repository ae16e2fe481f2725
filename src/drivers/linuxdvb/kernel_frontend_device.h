#pragma once
// IDvbFrontendDevice on a frontend file descriptor of the kernel's DVB API. Owns the descriptor.
#include "drivers/linuxdvb/dvb_frontend_device.h"

namespace linuxdvb {

class CKernelFrontendDevice : public IDvbFrontendDevice {
public:
    explicit CKernelFrontendDevice(int fd);
    ~CKernelFrontendDevice() override;
    CKernelFrontendDevice(const CKernelFrontendDevice&) = delete;
    CKernelFrontendDevice& operator=(const CKernelFrontendDevice&) = delete;

    int SetProperties(std::span<const DvbProperty> properties) override;
    int GetProperties(std::span<DvbProperty> properties) override;
    int ReadStatistic(DvbStatisticSource source, DvbStatistic& statistic) override;
    int ReadStatus(std::uint32_t& status) override;
    int SetVoltage(DvbVoltage voltage) override;
    int SetTone(bool on) override;
    int SendDiseqc(std::span<const std::uint8_t> message) override;

private:
    const int m_hFrontend;
};

}  // namespace linuxdvb
