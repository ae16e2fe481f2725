#include "platform/media/useful_bit_rate.h"

#include <array>

namespace dvb_rate {
namespace {

constexpr std::uint32_t kBbHeaderBits = 80;
constexpr std::uint32_t kSlotSymbols = 90;
constexpr std::uint32_t kPlHeaderSymbols = 90;
constexpr std::uint32_t kPilotBlockSymbols = 36;
constexpr std::uint32_t kSlotsPerPilotBlock = 16;

struct ModCodEntry {
    Modulation modulation;
    CodeRate rate;
};

// In MODCOD order, so entry i is MODCOD i + 1.
constexpr std::array<ModCodEntry, 28> kModCods = {{
    {Modulation::Qpsk, CodeRate::R1_4},    {Modulation::Qpsk, CodeRate::R1_3},
    {Modulation::Qpsk, CodeRate::R2_5},    {Modulation::Qpsk, CodeRate::R1_2},
    {Modulation::Qpsk, CodeRate::R3_5},    {Modulation::Qpsk, CodeRate::R2_3},
    {Modulation::Qpsk, CodeRate::R3_4},    {Modulation::Qpsk, CodeRate::R4_5},
    {Modulation::Qpsk, CodeRate::R5_6},    {Modulation::Qpsk, CodeRate::R8_9},
    {Modulation::Qpsk, CodeRate::R9_10},   {Modulation::Psk8, CodeRate::R3_5},
    {Modulation::Psk8, CodeRate::R2_3},    {Modulation::Psk8, CodeRate::R3_4},
    {Modulation::Psk8, CodeRate::R5_6},    {Modulation::Psk8, CodeRate::R8_9},
    {Modulation::Psk8, CodeRate::R9_10},   {Modulation::Apsk16, CodeRate::R2_3},
    {Modulation::Apsk16, CodeRate::R3_4},  {Modulation::Apsk16, CodeRate::R4_5},
    {Modulation::Apsk16, CodeRate::R5_6},  {Modulation::Apsk16, CodeRate::R8_9},
    {Modulation::Apsk16, CodeRate::R9_10}, {Modulation::Apsk32, CodeRate::R3_4},
    {Modulation::Apsk32, CodeRate::R4_5},  {Modulation::Apsk32, CodeRate::R5_6},
    {Modulation::Apsk32, CodeRate::R8_9},  {Modulation::Apsk32, CodeRate::R9_10},
}};

std::uint32_t BitsPerSymbol(Modulation modulation) {
    switch (modulation) {
        case Modulation::Qpsk:
            return 2;
        case Modulation::Psk8:
            return 3;
        case Modulation::Apsk16:
            return 4;
        case Modulation::Apsk32:
            return 5;
    }
    return 0;
}

std::optional<double> DvbSRate(const CarrierParameters& carrier) {
    if (carrier.modulation != Modulation::Qpsk) return std::nullopt;
    std::uint32_t numerator = 0;
    std::uint32_t denominator = 0;
    switch (carrier.rate) {
        case CodeRate::R1_2:
            numerator = 1, denominator = 2;
            break;
        case CodeRate::R2_3:
            numerator = 2, denominator = 3;
            break;
        case CodeRate::R3_4:
            numerator = 3, denominator = 4;
            break;
        case CodeRate::R5_6:
            numerator = 5, denominator = 6;
            break;
        case CodeRate::R7_8:
            numerator = 7, denominator = 8;
            break;
        default:
            return std::nullopt;
    }
    // Integer numerator first so that the only rounding is the final division.
    const double bits = static_cast<double>(carrier.symbolRate) * 2.0 * numerator * 188.0;
    return bits / (static_cast<double>(denominator) * 204.0);
}

}  // namespace

std::optional<std::uint32_t> Dvbs2Kbch(FrameLength frame, CodeRate rate) {
    if (frame == FrameLength::Normal) {
        // EN 302 307-1 table 5a (Nldpc = 64800).
        switch (rate) {
            case CodeRate::R1_4:
                return 16008;
            case CodeRate::R1_3:
                return 21408;
            case CodeRate::R2_5:
                return 25728;
            case CodeRate::R1_2:
                return 32208;
            case CodeRate::R3_5:
                return 38688;
            case CodeRate::R2_3:
                return 43040;
            case CodeRate::R3_4:
                return 48408;
            case CodeRate::R4_5:
                return 51648;
            case CodeRate::R5_6:
                return 53840;
            case CodeRate::R8_9:
                return 57472;
            case CodeRate::R9_10:
                return 58192;
            case CodeRate::R7_8:
                return std::nullopt;
        }
        return std::nullopt;
    }
    // Table 5b (Nldpc = 16200); short frames have no 9/10.
    switch (rate) {
        case CodeRate::R1_4:
            return 3072;
        case CodeRate::R1_3:
            return 5232;
        case CodeRate::R2_5:
            return 6312;
        case CodeRate::R1_2:
            return 7032;
        case CodeRate::R3_5:
            return 9552;
        case CodeRate::R2_3:
            return 10632;
        case CodeRate::R3_4:
            return 11712;
        case CodeRate::R4_5:
            return 12432;
        case CodeRate::R5_6:
            return 13152;
        case CodeRate::R8_9:
            return 14232;
        case CodeRate::R7_8:
        case CodeRate::R9_10:
            return std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> Dvbs2PlFrameSymbols(Modulation modulation, CodeRate rate,
                                                 FrameLength frame, bool pilots) {
    if (!Dvbs2ModCod(modulation, rate) || !Dvbs2Kbch(frame, rate)) return std::nullopt;
    const std::uint32_t nldpc = frame == FrameLength::Normal ? 64800 : 16200;
    const std::uint32_t slots = nldpc / (kSlotSymbols * BitsPerSymbol(modulation));
    const std::uint32_t pilotBlocks = pilots ? (slots - 1) / kSlotsPerPilotBlock : 0;
    return kPlHeaderSymbols + slots * kSlotSymbols + pilotBlocks * kPilotBlockSymbols;
}

std::optional<double> UsefulBitRate(const CarrierParameters& carrier) {
    if (carrier.system == DeliverySystem::DvbS) return DvbSRate(carrier);
    const auto symbols =
        Dvbs2PlFrameSymbols(carrier.modulation, carrier.rate, carrier.frame, carrier.pilots);
    if (!symbols) return std::nullopt;
    const std::uint32_t userBits = *Dvbs2Kbch(carrier.frame, carrier.rate) - kBbHeaderBits;
    return static_cast<double>(carrier.symbolRate) * userBits / *symbols;
}

std::optional<int> Dvbs2ModCod(Modulation modulation, CodeRate rate) {
    for (std::size_t i = 0; i < kModCods.size(); ++i) {
        if (kModCods[i].modulation == modulation && kModCods[i].rate == rate) {
            return static_cast<int>(i) + 1;
        }
    }
    return std::nullopt;
}

std::optional<std::pair<Modulation, CodeRate>> Dvbs2FromModCod(int modcod) {
    if (modcod < 1 || modcod > static_cast<int>(kModCods.size())) return std::nullopt;
    const ModCodEntry& entry = kModCods[static_cast<std::size_t>(modcod - 1)];
    return std::make_pair(entry.modulation, entry.rate);
}

}  // namespace dvb_rate
