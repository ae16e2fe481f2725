#include "drivers/sim/sim_carrier_math.h"

#include <fmt/format.h>

#include <array>
#include <cmath>

namespace sim {

using dvb_rate::CarrierParameters;
using dvb_rate::CodeRate;
using dvb_rate::DeliverySystem;
using dvb_rate::Dvbs2ModCod;
using dvb_rate::FrameLength;
using dvb_rate::Modulation;
using dvb_rate::UsefulBitRate;

namespace {

// Es/N0 of the DVB-S2 MODCODs 1..28 (index 0 is MODCOD 1).
constexpr std::array<double, 28> kDvbS2Required = {
    -2.35, -1.24, -0.30, 1.00,  2.23,  3.10,  4.03, 4.68, 5.18, 6.20, 6.42,  // QPSK
    5.50,  6.62,  7.91,  9.35,  10.69, 10.98,                                // 8PSK
    8.97,  10.21, 11.03, 11.61, 12.89, 13.13,                                // 16APSK
    12.73, 13.64, 14.28, 15.69, 16.05,                                       // 32APSK
};

struct S2xCode {
    int plsCode;
    const char* rate;
    std::uint32_t kbchNormal;
    double required;
};

// The DVB-S2X codes the card knows (QPSK, normal frames; EN 302 307-2 tables 17a and 20a).
constexpr std::array<S2xCode, 3> kS2xCodes = {{
    {132, "13/45", 18528, -2.03},
    {134, "9/20", 28968, 0.22},
    {136, "11/20", 35448, 1.45},
}};

const S2xCode* FindS2x(int plsCode) {
    for (const S2xCode& code : kS2xCodes) {
        if (code.plsCode == plsCode) return &code;
    }
    return nullptr;
}

CarrierParameters ParametersOf(const SimCarrier& carrier) {
    CarrierParameters parameters;
    parameters.system =
        carrier.system == SimSystem::DvbS ? DeliverySystem::DvbS : DeliverySystem::DvbS2;
    parameters.modulation = carrier.modulation;
    parameters.rate = carrier.rate;
    parameters.pilots = carrier.pilots;
    parameters.frame = carrier.frame;
    parameters.symbolRate = carrier.symbolRate;
    return parameters;
}

}  // namespace

double MeasuredCarrierToNoise(double carrierToNoise) {
    return 10.0 * std::log10(std::pow(10.0, carrierToNoise / 10.0) +
                             std::pow(10.0, kEstimatorFloorDb / 10.0));
}

double RequiredCarrierToNoise(const SimCarrier& carrier) {
    switch (carrier.system) {
        case SimSystem::DvbS:
            switch (carrier.rate) {
                case CodeRate::R1_2:
                    return 4.2;
                case CodeRate::R2_3:
                    return 5.9;
                case CodeRate::R3_4:
                    return 6.9;
                case CodeRate::R5_6:
                    return 7.9;
                case CodeRate::R7_8:
                    return 8.5;
                default:
                    return 99.0;
            }
        case SimSystem::DvbS2: {
            const auto modcod = Dvbs2ModCod(carrier.modulation, carrier.rate);
            if (!modcod) return 99.0;
            const double required = kDvbS2Required[static_cast<std::size_t>(*modcod - 1)];
            return carrier.frame == FrameLength::Short ? required + 0.2 : required;
        }
        case SimSystem::DvbS2X: {
            const S2xCode* code = FindS2x(carrier.s2xPlsCode);
            return code != nullptr ? code->required : 99.0;
        }
    }
    return 99.0;
}

std::optional<double> CarrierUsefulBitRate(const SimCarrier& carrier) {
    if (carrier.system != SimSystem::DvbS2X) return UsefulBitRate(ParametersOf(carrier));
    const S2xCode* code = FindS2x(carrier.s2xPlsCode);
    if (code == nullptr || carrier.frame != FrameLength::Normal) return std::nullopt;
    // QPSK: 64800 / 2 / 90 = 360 slots, plus the PLHEADER slot and the pilot blocks.
    constexpr std::uint32_t kSlots = 360;
    const std::uint32_t pilots = carrier.pilots ? 36 * ((kSlots - 1) / 16) : 0;
    const double symbols = 90.0 + 90.0 * kSlots + pilots;
    return static_cast<double>(carrier.symbolRate) * (code->kbchNormal - 80) / symbols;
}

int Dvbs2ModCodOf(const SimCarrier& carrier) {
    if (carrier.system != SimSystem::DvbS2) return 0;
    return Dvbs2ModCod(carrier.modulation, carrier.rate).value_or(0);
}

int ExtendedModCodeOf(const SimCarrier& carrier) {
    switch (carrier.system) {
        case SimSystem::DvbS2:
            return Dvbs2ModCodOf(carrier);
        case SimSystem::DvbS2X:
            return carrier.s2xPlsCode / 2;
        case SimSystem::DvbS:
            switch (carrier.rate) {
                case CodeRate::R1_2:
                    return 32;
                case CodeRate::R2_3:
                    return 33;
                case CodeRate::R3_4:
                    return 34;
                case CodeRate::R5_6:
                    return 35;
                case CodeRate::R7_8:
                    return 37;
                default:
                    return 29;
            }
    }
    return 29;
}

int DvbsCodeRateIndexOf(const SimCarrier& carrier) {
    if (carrier.system != SimSystem::DvbS) return 8;
    switch (carrier.rate) {
        case CodeRate::R1_2:
            return 0;
        case CodeRate::R2_3:
            return 1;
        case CodeRate::R3_4:
            return 2;
        case CodeRate::R4_5:
            return 3;
        case CodeRate::R5_6:
            return 4;
        case CodeRate::R7_8:
            return 6;
        case CodeRate::R8_9:
            return 7;
        default:
            return 8;
    }
}

int ModulationCodeOf(const SimCarrier& carrier) {
    switch (carrier.modulation) {
        case Modulation::Qpsk:
            return 0;
        case Modulation::Psk8:
            return 1;
        case Modulation::Apsk16:
            return 2;
        case Modulation::Apsk32:
            return 3;
    }
    return 0;
}

int StreamTypeFieldOf(const SimCarrier& carrier) {
    return carrier.payload == SimPayload::Transport ? 3 : 1;
}

std::uint8_t Matype1Of(const SimCarrier& carrier) {
    if (carrier.system == SimSystem::DvbS) return 0xF0;  // TS, SIS, CCM, roll-off 0.35
    unsigned value = static_cast<unsigned>(StreamTypeFieldOf(carrier)) << 6;
    if (carrier.inputStreams.empty()) value |= 0x20;  // single input stream
    value |= 0x10;                                    // constant coding and modulation
    if (carrier.nullPacketDeletion) value |= 0x04;
    value |= static_cast<unsigned>(carrier.rollOff) & 0x03;
    return static_cast<std::uint8_t>(value);
}

std::string CodeRateText(CodeRate rate) {
    switch (rate) {
        case CodeRate::R1_4:
            return "1/4";
        case CodeRate::R1_3:
            return "1/3";
        case CodeRate::R2_5:
            return "2/5";
        case CodeRate::R1_2:
            return "1/2";
        case CodeRate::R3_5:
            return "3/5";
        case CodeRate::R2_3:
            return "2/3";
        case CodeRate::R3_4:
            return "3/4";
        case CodeRate::R4_5:
            return "4/5";
        case CodeRate::R5_6:
            return "5/6";
        case CodeRate::R7_8:
            return "7/8";
        case CodeRate::R8_9:
            return "8/9";
        case CodeRate::R9_10:
            return "9/10";
    }
    return "?";
}

std::string ModulationText(Modulation modulation) {
    switch (modulation) {
        case Modulation::Qpsk:
            return "QPSK";
        case Modulation::Psk8:
            return "8PSK";
        case Modulation::Apsk16:
            return "16APSK";
        case Modulation::Apsk32:
            return "32APSK";
    }
    return "?";
}

std::string CarrierLabel(const SimCarrier& carrier) {
    const std::uint32_t mhz = carrier.frequencyKHz / 1000;
    const std::uint32_t khz = carrier.frequencyKHz % 1000;
    std::string frequency = khz == 0 ? fmt::format("{}", mhz) : fmt::format("{}.{:03}", mhz, khz);
    while (frequency.back() == '0' && frequency.find('.') != std::string::npos)
        frequency.pop_back();
    std::string label =
        fmt::format("{} {} {} ", frequency, carrier.polarisation, carrier.symbolRate / 1000);
    switch (carrier.system) {
        case SimSystem::DvbS:
            return label + "DVB-S QPSK " + CodeRateText(carrier.rate);
        case SimSystem::DvbS2:
            return label + "DVB-S2 " + ModulationText(carrier.modulation) + " " +
                   CodeRateText(carrier.rate);
        case SimSystem::DvbS2X: {
            const S2xCode* code = FindS2x(carrier.s2xPlsCode);
            return label + "DVB-S2X " + ModulationText(carrier.modulation) + " " +
                   (code != nullptr ? code->rate : "?");
        }
    }
    return label;
}

}  // namespace sim
