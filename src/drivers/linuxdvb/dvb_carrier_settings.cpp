#include "drivers/linuxdvb/dvb_carrier_settings.h"

#include <fmt/format.h>

#include <cstddef>

#include "drivers/linuxdvb/dvb_api.h"

namespace linuxdvb {

namespace {

struct Named {
    std::uint32_t value;
    const char* name;
};

// As the satellite files and the log write them.
constexpr Named kModulations[] = {
    {QPSK, "QPSK"}, {PSK_8, "8PSK"}, {APSK_16, "16APSK"}, {APSK_32, "32APSK"}};
constexpr Named kRates[] = {{FEC_1_2, "1/2"},   {FEC_2_3, "2/3"}, {FEC_3_4, "3/4"},
                            {FEC_4_5, "4/5"},   {FEC_5_6, "5/6"}, {FEC_6_7, "6/7"},
                            {FEC_7_8, "7/8"},   {FEC_8_9, "8/9"}, {FEC_3_5, "3/5"},
                            {FEC_9_10, "9/10"}, {FEC_2_5, "2/5"}, {FEC_AUTO, "auto"}};

template <std::size_t N>
const char* NameOf(const Named (&table)[N], std::uint32_t value, const char* unknown) {
    for (const Named& entry : table) {
        if (entry.value == value) return entry.name;
    }
    return unknown;
}

template <std::size_t N>
std::optional<std::uint32_t> ValueOf(const Named (&table)[N], std::string_view name) {
    for (const Named& entry : table) {
        if (name == entry.name) return entry.value;
    }
    return std::nullopt;
}

constexpr Named kRollOffs[] = {
    {ROLLOFF_35, "0.35"}, {ROLLOFF_25, "0.25"}, {ROLLOFF_20, "0.20"}, {ROLLOFF_AUTO, "auto"}};

const char* PilotName(std::uint32_t pilot) {
    switch (pilot) {
        case PILOT_ON:
            return "on";
        case PILOT_OFF:
            return "off";
        case PILOT_AUTO:
            return "auto";
        default:
            return "?";
    }
}

}  // namespace

std::string Describe(const DvbCarrierSettings& settings) {
    return fmt::format("{} {} {} roll-off {} pilots {}",
                       settings.deliverySystem == SYS_DVBS2 ? "DVB-S2" : "DVB-S",
                       NameOf(kModulations, settings.modulation, "modulation ?"),
                       NameOf(kRates, settings.innerFec, "?"),
                       NameOf(kRollOffs, settings.rolloff, "?"), PilotName(settings.pilot));
}

std::optional<std::uint32_t> ModulationFromText(std::string_view text) {
    return ValueOf(kModulations, text);
}

std::optional<std::uint32_t> StatedFecFromText(std::string_view text) {
    const auto fec = ValueOf(kRates, text);
    return fec == FEC_AUTO ? std::nullopt : fec;
}

std::optional<std::uint32_t> StatedRollOffFromText(std::string_view text) {
    const auto rolloff = ValueOf(kRollOffs, text);
    return rolloff == ROLLOFF_AUTO ? std::nullopt : rolloff;
}

}  // namespace linuxdvb
