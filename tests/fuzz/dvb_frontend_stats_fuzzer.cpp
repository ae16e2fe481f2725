// The Linux backend's reading of a frontend: lock, signal strength and quality from
// FE_READ_STATUS and the DTV_STAT_* properties (legacy ioctls as the fallback), and the carrier
// report (the 72-byte media-info record) from FE_GET_PROPERTY, with whatever the kernel answers.
// The kernel is a fake that takes each answer from the input, in the order of the calls:
//   op (1 byte): even reads the signal, odd gets the media-info record through the driver
//   open (once):            errno byte
//   FE_READ_STATUS:         errno byte, status (u32)
//   DTV_STAT_*:             errno byte, struct dtv_fe_stats as the kernel fills it (37 bytes)
//   legacy reading:         errno byte, value (u16)
//   FE_GET_PROPERTY:        errno byte, one u32 per property asked
// An errno byte below 0xE0 is success; the others pick a failure (ENODEV: the card is gone).
// Values are little-endian; past the end of the input every answer is 0.
#include <cerrno>
#include <cstdint>
#include <iterator>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "drivers/linuxdvb/dvb_api.h"
#include "drivers/linuxdvb/dvb_card_services.h"
#include "drivers/linuxdvb/dvb_carrier_report.h"
#include "drivers/linuxdvb/dvb_driver_rules.h"
#include "drivers/linuxdvb/dvb_errors.h"
#include "drivers/linuxdvb/dvb_kernel.h"
#include "drivers/linuxdvb/kernel_frontend_device.h"
#include "drivers/linuxdvb/linux_dvb_card.h"
#include "drivers/linuxdvb/linux_dvb_property_driver.h"
#include "fuzz_support.h"
#include "platform/ks/vendor_property_sets.h"

namespace linuxdvb {
namespace {

constexpr int kErrors[] = {ENODEV,     EIO,    EINVAL, kErrnoNotSupportedKernel,
                           EOPNOTSUPP, EAGAIN, ENOTTY, EBUSY};
constexpr int kMaxOperations = 64;

int ReadErrno(fuzz::CByteReader& input) {
    const std::uint8_t byte = input.U8();
    return byte < 0xE0 ? 0 : kErrors[(byte - 0xE0) % std::size(kErrors)];
}

class CInputFrontend : public IDvbFrontendDevice {
public:
    explicit CInputFrontend(fuzz::CByteReader& input) : m_input(input) {}

    int SetProperties(std::span<const DvbProperty> /*properties*/) override {
        return ReadErrno(m_input);
    }
    int GetProperties(std::span<DvbProperty> properties) override {
        const int error = ReadErrno(m_input);
        for (DvbProperty& property : properties) property.value = m_input.U32();
        return error;
    }
    int ReadStatistic(DvbStatisticSource source, DvbStatistic& statistic) override {
        statistic = DvbStatistic{};
        const int error = ReadErrno(m_input);
        if (source == DvbStatisticSource::LegacyStrength ||
            source == DvbStatisticSource::LegacySnr) {
            const std::uint16_t value = m_input.U16();
            if (error == 0) statistic = StatisticOfLegacyReading(value);
        } else {
            dtv_fe_stats stats{};
            m_input.Bytes(&stats, sizeof stats);
            if (error == 0) statistic = StatisticOfFirstLayer(stats);
        }
        return error;
    }
    int ReadStatus(std::uint32_t& status) override {
        const int error = ReadErrno(m_input);
        const std::uint32_t bits = m_input.U32();
        status = error == 0 ? bits : 0;
        return error;
    }
    int SetVoltage(DvbVoltage /*voltage*/) override { return ReadErrno(m_input); }
    int SetTone(bool /*on*/) override { return ReadErrno(m_input); }
    int SendDiseqc(std::span<const std::uint8_t> /*message*/) override {
        return ReadErrno(m_input);
    }

private:
    fuzz::CByteReader& m_input;
};

class CInputKernel : public IDvbKernel {
public:
    explicit CInputKernel(fuzz::CByteReader& input) : m_input(input) {}

    std::vector<DvbFrontendDescription> Enumerate() override { return {}; }
    int OpenFrontend(int /*adapter*/, int /*frontend*/,
                     std::unique_ptr<IDvbFrontendDevice>& device) override {
        const int error = ReadErrno(m_input);
        if (error == 0) device = std::make_unique<CInputFrontend>(m_input);
        return error;
    }
    int OpenStream(int, int, std::size_t, std::unique_ptr<IDvbStreamDevice>& /*device*/) override {
        return ENODEV;
    }
    std::vector<DvbDeviceHolder> Holders(int, const std::string&, int) override { return {}; }

private:
    fuzz::CByteReader& m_input;
};

DvbFrontendDescription SatelliteFrontend() {
    DvbFrontendDescription frontend;
    frontend.name = "Fuzz demod";
    frontend.deliverySystems = {SYS_DVBS, SYS_DVBS2};
    return frontend;
}

std::int32_t Field(const std::uint8_t* record, std::size_t index) {
    const std::uint8_t* p = record + 4 * index;
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
        (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
}

bool Within(std::int32_t value, std::int32_t low, std::int32_t high) {
    return value >= low && value <= high;
}

// The ranges the carrier report's decoder is written for; -1 is a value the driver did not tell.
void CheckRecord(const std::uint8_t* record) {
    namespace r = report;
    const std::int32_t standard = Field(record, r::kStandard);
    FUZZ_CHECK(Within(standard, -1, 1));
    const std::int32_t modCod = Field(record, r::kModCode);
    if (standard == 0) FUZZ_CHECK(modCod == 0);
    if (standard != 0) FUZZ_CHECK(Within(modCod, 3, 29));
    FUZZ_CHECK(Within(Field(record, r::kDvbsCodeRate), 0, 8));
    FUZZ_CHECK(Within(Field(record, r::kModulation), -1, 3));
    FUZZ_CHECK(Field(record, r::kStreamType) == 3);
    FUZZ_CHECK(Within(Field(record, r::kRollOff), -1, 3));
    FUZZ_CHECK(Within(Field(record, r::kSpectrum), -1, 1));
    FUZZ_CHECK(Within(Field(record, r::kPilots), -1, 1));
    FUZZ_CHECK(Field(record, r::kFrameLength) == -1);
    // Only a DVB-S lock proves the single transport stream; a stream id is never claimed.
    const bool dvbs = standard == 0;
    FUZZ_CHECK(Field(record, r::kInputStream) == (dvbs ? 1 : -1));
    FUZZ_CHECK(Field(record, r::kInputStreamId) == (dvbs ? 0 : -1));
    FUZZ_CHECK(Field(record, r::kMatype1) == (dvbs ? 0 : -1));
    FUZZ_CHECK(Field(record, r::kMatype2) == Field(record, r::kInputStreamId));
}

}  // namespace
}  // namespace linuxdvb

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace linuxdvb;
    fuzz::CByteReader input({data, size});
    // No pauses, a clock that runs on by the waits, the generic driver rules, nothing
    // remembered: the input alone decides what the card sees.
    auto nowMs = std::make_shared<std::int64_t>(0);
    DvbCardServices services{
        DvbCardTiming{[](int) {}, [nowMs](int milliseconds) { *nowMs += milliseconds; },
                      [nowMs] { return *nowMs; }},
        [](const std::string&) { return DvbDriverRules::Generic(); }, nullptr, nullptr};
    CLinuxDvbCard card(std::make_shared<CInputKernel>(input), SatelliteFrontend(), L"Fuzz tuner",
                       std::move(services));
    CLinuxDvbPropertyDriver driver(card);
    card.AttachTuner();
    for (int operation = 0; operation < kMaxOperations && !input.Empty(); ++operation) {
        const bool wasRemoved = card.IsRemoved();
        HRESULT hr = S_OK;
        if (input.U8() % 2 == 0) {
            DvbSignal signal;
            hr = card.ReadSignal(signal);
            if (hr == S_OK) {
                FUZZ_CHECK(Within(signal.strength, 0, 100) && Within(signal.quality, 0, 100));
                FUZZ_CHECK(signal.locked || signal.quality == 0);
            }
        } else {
            std::uint8_t record[72] = {};
            DWORD returned = 0;
            hr = driver.Get(CLinuxDvbPropertyDriver::Surface::Pin, KSPROPSETID_BdaExt,
                            KSPROPERTY_BDA_GET_MEDIAINFO, nullptr, 0, record, sizeof record,
                            &returned);
            if (hr == S_OK) {
                FUZZ_CHECK(returned == sizeof record);
                CheckRecord(record);
            }
        }
        // A card that is gone stays gone, and says so.
        if (wasRemoved) FUZZ_CHECK(hr == kDeviceRemoved);
        if (card.IsRemoved()) FUZZ_CHECK(hr == kDeviceRemoved);
    }
    card.DetachTuner();
    return 0;
}
