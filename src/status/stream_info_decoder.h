#pragma once
// The texts of the carrier report: each of the driver's numbers to what the main window shows.
// A negative value is one the driver cannot tell: "UNKNOWN".
#include <cstdint>
#include <optional>
#include <string>

namespace stream_info {

std::string StreamTypeText(std::int32_t streamType);      // box 1041
std::string ModulationText(std::int32_t modulation);      // box 1042
std::string InputStreamText(std::int32_t inputStream);    // box 1043
std::string CodingModulationText(std::int32_t value);     // box 1044
std::string InputSynchroText(std::int32_t value);         // box 1045
std::string NullPacketDeletionText(std::int32_t value);   // box 1046
std::string RollOffText(std::int32_t rollOff);            // box 1047
std::string PilotsText(std::int32_t pilots);              // box 1056
std::string FrameLengthText(std::int32_t frameLength);    // box 1055
std::string SpectrumText(std::int32_t spectrum);          // box 1054
std::string Dvbs2CodeRateText(std::int32_t modCode);      // box 1048, DVB-S2
std::string DvbsCodeRateText(std::int32_t dvbsCodeRate);  // box 1048, DVB-S
// The two MATYPE bytes as "F2  0A".
std::string MatypeText(std::int32_t matype1, std::int32_t matype2);

// The extended code of the x-model tuners: standard (none for 63 and above 130, where the
// standard box keeps what it had), code rate and modulation.
struct ExtendedModCode {
    std::optional<std::string> standard;
    std::string fec;
    std::string modulation;
};
ExtendedModCode DecodeExtendedModCode(std::int32_t modCode);

}  // namespace stream_info
