#pragma once
// One way of asking a frontend for a satellite carrier: the delivery system and the values a
// driver may want stated instead of "auto". The kernel's own numbers (SYS_*, QPSK/PSK_8/...,
// FEC_*, ROLLOFF_*, PILOT_*), as FE_SET_PROPERTY takes them.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace linuxdvb {

struct DvbCarrierSettings {
    std::uint32_t deliverySystem = 0;
    std::uint32_t modulation = 0;
    std::uint32_t innerFec = 0;
    std::uint32_t rolloff = 0;
    std::uint32_t pilot = 0;
    friend bool operator==(const DvbCarrierSettings&, const DvbCarrierSettings&) = default;
};

// "DVB-S2 8PSK 2/3 roll-off auto pilots auto", for the log and the tests.
std::string Describe(const DvbCarrierSettings& settings);

// "QPSK", "8PSK", "16APSK", "32APSK" as the satellite files write them; none for anything else.
std::optional<std::uint32_t> ModulationFromText(std::string_view text);
// "1/2" ... "9/10"; none for "AUTO" and anything that is not a rate.
std::optional<std::uint32_t> StatedFecFromText(std::string_view text);
// "0.35", "0.25", "0.20"; none for anything else.
std::optional<std::uint32_t> StatedRollOffFromText(std::string_view text);

}  // namespace linuxdvb
