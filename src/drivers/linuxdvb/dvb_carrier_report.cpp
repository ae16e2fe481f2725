#include "drivers/linuxdvb/dvb_carrier_report.h"

#include "drivers/linuxdvb/dvb_api.h"

namespace linuxdvb {

namespace {

constexpr std::int32_t kUnknownModCod = 29;
constexpr std::int32_t kUnknownCodeRate = 8;
constexpr std::int32_t kUnknownModulation = -1;
constexpr std::int32_t kUnknown = -1;
constexpr std::int32_t kTransportStream = 3;

std::int32_t DvbsCodeRateIndex(std::uint32_t fec) {
    switch (fec) {
        case FEC_1_2:
            return 0;
        case FEC_2_3:
            return 1;
        case FEC_3_4:
            return 2;
        case FEC_4_5:
            return 3;
        case FEC_5_6:
            return 4;
        case FEC_6_7:
            return 5;
        case FEC_7_8:
            return 6;
        case FEC_8_9:
            return 7;
        default:
            return kUnknownCodeRate;
    }
}

std::int32_t ModulationCode(std::uint32_t modulation) {
    switch (modulation) {
        case QPSK:
            return 0;
        case PSK_8:
            return 1;
        case APSK_16:
            return 2;
        case APSK_32:
            return 3;
        default:
            return kUnknownModulation;
    }
}

std::int32_t RollOffCode(std::uint32_t rolloff) {
    switch (rolloff) {
        case ROLLOFF_35:
            return 0;
        case ROLLOFF_25:
            return 1;
        case ROLLOFF_20:
            return 2;
        default:
            return kUnknown;
    }
}

}  // namespace

std::int32_t Dvbs2ModCod(std::uint32_t modulation, std::uint32_t innerFec) {
    struct Entry {
        std::uint32_t modulation;
        std::uint32_t fec;
        std::int32_t modCod;
    };
    // QPSK 1/4 and 1/3 (MODCOD 1 and 2) have no FEC value in the kernel's API.
    static constexpr Entry kTable[] = {
        {QPSK, FEC_2_5, 3},     {QPSK, FEC_1_2, 4},      {QPSK, FEC_3_5, 5},
        {QPSK, FEC_2_3, 6},     {QPSK, FEC_3_4, 7},      {QPSK, FEC_4_5, 8},
        {QPSK, FEC_5_6, 9},     {QPSK, FEC_8_9, 10},     {QPSK, FEC_9_10, 11},
        {PSK_8, FEC_3_5, 12},   {PSK_8, FEC_2_3, 13},    {PSK_8, FEC_3_4, 14},
        {PSK_8, FEC_5_6, 15},   {PSK_8, FEC_8_9, 16},    {PSK_8, FEC_9_10, 17},
        {APSK_16, FEC_2_3, 18}, {APSK_16, FEC_3_4, 19},  {APSK_16, FEC_4_5, 20},
        {APSK_16, FEC_5_6, 21}, {APSK_16, FEC_8_9, 22},  {APSK_16, FEC_9_10, 23},
        {APSK_32, FEC_3_4, 24}, {APSK_32, FEC_4_5, 25},  {APSK_32, FEC_5_6, 26},
        {APSK_32, FEC_8_9, 27}, {APSK_32, FEC_9_10, 28},
    };
    for (const Entry& entry : kTable) {
        if (entry.modulation == modulation && entry.fec == innerFec) return entry.modCod;
    }
    return kUnknownModCod;
}

std::array<std::int32_t, 18> BuildCarrierReport(const DvbReceivedCarrier& c) {
    std::array<std::int32_t, 18> fields{};
    fields.fill(kUnknown);
    fields[report::kIfFrequency] = static_cast<std::int32_t>(c.frequencyKHz);
    fields[report::kSymbolRate] = static_cast<std::int32_t>(c.symbolRate);
    fields[report::kStreamType] = kTransportStream;
    fields[report::kModCode] = kUnknownModCod;
    fields[report::kDvbsCodeRate] = kUnknownCodeRate;
    if (c.inversion) fields[report::kSpectrum] = *c.inversion == INVERSION_ON ? 1 : 0;
    if (c.deliverySystem == SYS_DVBS) {
        fields[report::kStandard] = 0;
        fields[report::kModCode] = 0;
        if (c.innerFec) fields[report::kDvbsCodeRate] = DvbsCodeRateIndex(*c.innerFec);
        // DVB-S has one modulation, one roll-off, no pilots and one transport stream.
        fields[report::kModulation] = 0;
        fields[report::kRollOff] = 0;
        fields[report::kPilots] = 0;
        fields[report::kInputStream] = 1;
        fields[report::kInputStreamId] = 0;
        fields[report::kMatype1] = 0;
        fields[report::kMatype2] = 0;
    } else {
        // DVB-S2, or a standard the driver does not tell: what it does tell is shown.
        if (c.deliverySystem == SYS_DVBS2) fields[report::kStandard] = 1;
        if (c.modulation) fields[report::kModulation] = ModulationCode(*c.modulation);
        if (c.deliverySystem == SYS_DVBS2 && c.modulation && c.innerFec)
            fields[report::kModCode] = Dvbs2ModCod(*c.modulation, *c.innerFec);
        if (c.rolloff) fields[report::kRollOff] = RollOffCode(*c.rolloff);
        if (c.pilot) fields[report::kPilots] = *c.pilot == PILOT_ON ? 1 : 0;
    }
    return fields;
}

}  // namespace linuxdvb
