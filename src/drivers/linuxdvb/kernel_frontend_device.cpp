#include "drivers/linuxdvb/kernel_frontend_device.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "drivers/linuxdvb/dvb_api.h"

namespace linuxdvb {

namespace {

// ioctl with errno read right after the call; EINTR is retried.
template <typename Arg>
int Control(int fd, unsigned long request, Arg arg) {
    for (;;) {
        if (ioctl(fd, request, arg) == 0) return 0;
        const int error = errno;
        if (error != EINTR) return error;
    }
}

std::uint32_t CommandOf(DvbStatisticSource source) {
    switch (source) {
        case DvbStatisticSource::Strength:
            return DTV_STAT_SIGNAL_STRENGTH;
        case DvbStatisticSource::PreErrorBits:
            return DTV_STAT_PRE_ERROR_BIT_COUNT;
        case DvbStatisticSource::PreTotalBits:
            return DTV_STAT_PRE_TOTAL_BIT_COUNT;
        case DvbStatisticSource::PostErrorBits:
            return DTV_STAT_POST_ERROR_BIT_COUNT;
        case DvbStatisticSource::PostTotalBits:
            return DTV_STAT_POST_TOTAL_BIT_COUNT;
        case DvbStatisticSource::ErrorBlocks:
            return DTV_STAT_ERROR_BLOCK_COUNT;
        default:
            return DTV_STAT_CNR;
    }
}

}  // namespace

CKernelFrontendDevice::CKernelFrontendDevice(int fd) : m_hFrontend(fd) {}

CKernelFrontendDevice::~CKernelFrontendDevice() {
    close(m_hFrontend);
}

int CKernelFrontendDevice::SetProperties(std::span<const DvbProperty> properties) {
    std::vector<dtv_property> list(properties.size());
    for (std::size_t i = 0; i < properties.size(); ++i) {
        list[i].cmd = properties[i].command;
        list[i].u.data = properties[i].value;
    }
    dtv_properties request{};
    request.num = static_cast<__u32>(list.size());
    request.props = list.data();
    return Control(m_hFrontend, FE_SET_PROPERTY, &request);
}

int CKernelFrontendDevice::GetProperties(std::span<DvbProperty> properties) {
    std::vector<dtv_property> list(properties.size());
    for (std::size_t i = 0; i < properties.size(); ++i) list[i].cmd = properties[i].command;
    dtv_properties request{};
    request.num = static_cast<__u32>(list.size());
    request.props = list.data();
    if (const int error = Control(m_hFrontend, FE_GET_PROPERTY, &request)) return error;
    for (std::size_t i = 0; i < properties.size(); ++i) properties[i].value = list[i].u.data;
    return 0;
}

DvbStatistic StatisticOfFirstLayer(const dtv_fe_stats& stats) {
    DvbStatistic statistic;
    if (stats.len == 0) return statistic;
    const dtv_stats& layer = stats.stat[0];
    switch (layer.scale) {
        case FE_SCALE_DECIBEL:
            statistic.scale = DvbScale::Decibel;
            statistic.value = layer.svalue;
            break;
        case FE_SCALE_RELATIVE:
            statistic.scale = DvbScale::Relative;
            statistic.value = static_cast<std::int64_t>(layer.uvalue);
            break;
        case FE_SCALE_COUNTER:
            statistic.scale = DvbScale::Counter;
            statistic.value = static_cast<std::int64_t>(layer.uvalue);
            break;
        default:
            break;
    }
    return statistic;
}

DvbStatistic StatisticOfLegacyReading(std::uint16_t value) {
    return DvbStatistic{DvbScale::Relative, value};
}

int CKernelFrontendDevice::ReadStatistic(DvbStatisticSource source, DvbStatistic& statistic) {
    statistic = DvbStatistic{};
    if (source == DvbStatisticSource::LegacyStrength || source == DvbStatisticSource::LegacySnr) {
        std::uint16_t value = 0;
        const int error = Control(
            m_hFrontend,
            source == DvbStatisticSource::LegacyStrength ? FE_READ_SIGNAL_STRENGTH : FE_READ_SNR,
            &value);
        if (error != 0) return error;
        statistic = StatisticOfLegacyReading(value);
        return 0;
    }
    dtv_property property{};
    property.cmd = CommandOf(source);
    dtv_properties request{};
    request.num = 1;
    request.props = &property;
    if (const int error = Control(m_hFrontend, FE_GET_PROPERTY, &request)) return error;
    statistic = StatisticOfFirstLayer(property.u.st);
    return 0;
}

int CKernelFrontendDevice::ReadStatus(std::uint32_t& status) {
    fe_status_t bits{};
    const int error = Control(m_hFrontend, FE_READ_STATUS, &bits);
    status = error == 0 ? static_cast<std::uint32_t>(bits) : 0;
    return error;
}

int CKernelFrontendDevice::SetVoltage(DvbVoltage voltage) {
    fe_sec_voltage value = SEC_VOLTAGE_OFF;
    if (voltage == DvbVoltage::Volt13) value = SEC_VOLTAGE_13;
    if (voltage == DvbVoltage::Volt18) value = SEC_VOLTAGE_18;
    // The argument is passed by value, as the kernel's API defines it.
    return Control(m_hFrontend, FE_SET_VOLTAGE, static_cast<unsigned long>(value));
}

int CKernelFrontendDevice::SetTone(bool on) {
    return Control(m_hFrontend, FE_SET_TONE,
                   static_cast<unsigned long>(on ? SEC_TONE_ON : SEC_TONE_OFF));
}

int CKernelFrontendDevice::SendDiseqc(std::span<const std::uint8_t> message) {
    dvb_diseqc_master_cmd command{};
    if (message.size() > sizeof(command.msg)) return EINVAL;
    std::memcpy(command.msg, message.data(), message.size());
    command.msg_len = static_cast<__u8>(message.size());
    return Control(m_hFrontend, FE_DISEQC_SEND_MASTER_CMD, &command);
}

}  // namespace linuxdvb
