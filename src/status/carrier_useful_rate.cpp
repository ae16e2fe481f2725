#include "status/carrier_useful_rate.h"

#include <array>
#include <cstddef>

#include "platform/media/useful_bit_rate.h"

namespace stream_info {

namespace {

using dvb_rate::CodeRate;

// The report's DVB-S code-rate index 0..7 (1/2, 2/3, 3/4, 4/5, 5/6, 6/7, 7/8, 8/9; 8 unknown).
// 6/7 has no place in the rate arithmetic, and DVB-S does not use it.
constexpr std::array<std::optional<CodeRate>, 8> kDvbsRates = {
    CodeRate::R1_2, CodeRate::R2_3, CodeRate::R3_4, CodeRate::R4_5,
    CodeRate::R5_6, std::nullopt,   CodeRate::R7_8, CodeRate::R8_9};

// Bits 7-6 of MATYPE-1 as the report gives them: 3 is a transport stream.
constexpr std::int32_t kTransportStream = 3;
constexpr std::int32_t kMultipleInputStreams = 0;
constexpr std::int32_t kNullPacketsDeleted = 1;

}  // namespace

std::optional<double> CarrierUsefulRate(const MediaInfoRecord& report) {
    if (report.symbolRate <= 0) return std::nullopt;
    dvb_rate::CarrierParameters carrier;
    carrier.symbolRate = static_cast<std::uint32_t>(report.symbolRate);
    if (report.standard == 0) {
        // DVB-S: QPSK, one transport stream, no baseband header.
        if (report.dvbsCodeRate < 0 ||
            report.dvbsCodeRate >= static_cast<std::int32_t>(kDvbsRates.size()))
            return std::nullopt;
        const std::optional<CodeRate> rate =
            kDvbsRates[static_cast<std::size_t>(report.dvbsCodeRate)];
        if (!rate) return std::nullopt;
        carrier.system = dvb_rate::DeliverySystem::DvbS;
        carrier.modulation = dvb_rate::Modulation::Qpsk;
        carrier.rate = *rate;
        return dvb_rate::UsefulBitRate(carrier);
    }
    if (report.standard != 1) return std::nullopt;
    if (report.streamType != kTransportStream || report.inputStream == kMultipleInputStreams ||
        report.nullPacketDeletion == kNullPacketsDeleted)
        return std::nullopt;
    // Pilots and frame length change the frame's length, so the rate: unknown is no rate.
    if ((report.pilots != 0 && report.pilots != 1) ||
        (report.frameLength != 0 && report.frameLength != 1))
        return std::nullopt;
    // A DVB-S2X code (66 and up on the x-model cards) has no MODCOD of 1..28.
    const auto modulationAndRate = dvb_rate::Dvbs2FromModCod(report.modCode);
    if (!modulationAndRate) return std::nullopt;
    carrier.system = dvb_rate::DeliverySystem::DvbS2;
    carrier.modulation = modulationAndRate->first;
    carrier.rate = modulationAndRate->second;
    carrier.pilots = report.pilots == 1;
    carrier.frame =
        report.frameLength == 1 ? dvb_rate::FrameLength::Short : dvb_rate::FrameLength::Normal;
    return dvb_rate::UsefulBitRate(carrier);
}

}  // namespace stream_info
