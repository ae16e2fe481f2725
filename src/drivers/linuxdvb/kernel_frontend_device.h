#pragma once
// IDvbFrontendDevice on a frontend file descriptor of the kernel's DVB API. Owns the descriptor.
#include <cstdint>

#include "drivers/linuxdvb/dvb_api.h"
#include "drivers/linuxdvb/dvb_frontend_device.h"

namespace linuxdvb {

// What ReadStatistic makes of the kernel's answers, apart from the ioctls so that any answer can
// be tried without a kernel: the first layer of a DTV_STAT_* property (NotAvailable without a
// layer or with a scale of no use here), and a legacy FE_READ_SIGNAL_STRENGTH / FE_READ_SNR value.
DvbStatistic StatisticOfFirstLayer(const dtv_fe_stats& stats);
DvbStatistic StatisticOfLegacyReading(std::uint16_t value);

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
