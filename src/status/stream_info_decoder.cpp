#include "status/stream_info_decoder.h"

#include <fmt/format.h>

#include <array>
#include <cctype>
#include <string_view>

namespace stream_info {

namespace {

// A text from a table indexed from `first`, or `other` outside it.
template <std::size_t N>
std::string Lookup(const std::array<std::string_view, N>& table, std::int32_t value,
                   std::int32_t first, std::string_view other) {
    if (value < first || value >= first + static_cast<std::int32_t>(N)) return std::string(other);
    return std::string(table[static_cast<std::size_t>(value - first)]);
}

// The DVB-S2 MODCODs 1..28 of EN 302 307-1: code rate and modulation.
constexpr std::array<std::string_view, 28> kDvbs2Rates = {
    "1/4", "1/3", "2/5", "1/2", "3/5", "2/3",  "3/4", "4/5", "5/6", "8/9", "9/10",  // QPSK
    "3/5", "2/3", "3/4", "5/6", "8/9", "9/10",                                      // 8PSK
    "2/3", "3/4", "4/5", "5/6", "8/9", "9/10",                                      // 16APSK
    "3/4", "4/5", "5/6", "8/9", "9/10"};                                            // 32APSK

std::string_view Dvbs2Modulation(std::int32_t modCode) {
    if (modCode <= 11) return "QPSK";
    if (modCode <= 17) return "8PSK";
    if (modCode <= 23) return "16APSK";
    return "32APSK";
}

// The DVB-S2X codes 66..124 (the PLS code halved), with the driver's own reading of a few.
struct S2xCode {
    std::string_view fec;
    std::string_view modulation;
};
constexpr std::array<S2xCode, 59> kS2x = {{
    {"13/45", "QPSK"},      {"9/20", "QPSK"},      {"11/20", "QPSK"},  // 66..68
    {"5/9 L", "8PSK"},      {"26/45 L", "8PSK"},   {"23/36", "8PSK"},
    {"25/36", "8PSK"},      {"13/18", "8PSK"},  // 69..73
    {"1/2 L", "16APSK"},    {"8/15 L", "16APSK"},  {"5/9 L", "16APSK"},
    {"26/45", "16APSK"},  // 74..77
    {"3/5", "16APSK"},      {"3/5 L", "16APSK"},   {"28/45", "16APSK"},
    {"23/36", "16APSK"},  // 78..81
    {"2/3 L", "16APSK"},    {"25/36", "16APSK"},   {"13/18", "16APSK"},
    {"7/9", "16APSK"},    // 82..85
    {"77/90", "16APSK"},  // 86
    {"2/3 L", "32APSK"},    {"R_58", "32APSK"},    {"32/45", "32APSK"},
    {"11/15", "32APSK"},  // 87..90
    {"7/9", "32APSK"},    // 91
    {"32/45 L", "64APSK"},  {"11/15", "64APSK"},   {"R/5E", "64APSK"},
    {"7/9", "64APSK"},  // 92..95
    {"R/60", "64APSK"},     {"4/5", "64APSK"},     {"R/62", "64APSK"},
    {"5/6", "64APSK"},                           // 96..99
    {"3/4", "128APSK"},     {"7/9", "128APSK"},  // 100..101
    {"29/45 L", "256APSK"}, {"2/3 L", "256APSK"},  {"31/45 L", "256APSK"},
    {"32/45", "256APSK"},                        // 102..105
    {"11/15 L", "256APSK"}, {"3/4", "256APSK"},  // 106..107
    {"11/45", "QPSK"},      {"4/15", "QPSK"},      {"14/45", "QPSK"},
    {"7/15", "QPSK"},       {"8/15", "QPSK"},  // 108..112
    {"32/45", "QPSK"},                         // 113
    {"7/15", "8PSK"},       {"8/15", "8PSK"},      {"26/45", "8PSK"},
    {"32/45", "8PSK"},  // 114..117
    {"7/15", "16APSK"},     {"8/15", "16APSK"},    {"26/45 S", "16APSK"},
    {"3/5 S", "16APSK"},                            // 118..121
    {"32/45", "16APSK"},                            // 122
    {"2/3", "32APSK"},      {"32/45 S", "32APSK"},  // 123..124
}};

// 125..130: further codes of the driver, known only by their modulation.
constexpr std::array<std::string_view, 6> kDriverModulations = {"8PSK",   "UNKNOWN", "256APSK",
                                                                "32APSK", "64APSK",  "1024APSK"};

// A driver that cannot tell a value reports it as -1 (a real card on Linux).
constexpr const char* kUnknownText = "UNKNOWN";

}  // namespace

std::string StreamTypeText(std::int32_t v) {
    switch (v) {
        case 0:
            return "GENERIC_PACKETIZED_STREAM";
        case 1:
            return "GENERIC_CONTINUOUS_STREAM";
        case 3:
            return "TRANSPORT_STREAM";
        default:
            return "GENERIC_ENCAPSULATED_STREAM";
    }
}

std::string ModulationText(std::int32_t v) {
    constexpr std::array<std::string_view, 4> kNames = {"QPSK", "8PSK", "16APSK", "32APSK"};
    return Lookup(kNames, v, 0, "UNKNOWN");
}

std::string InputStreamText(std::int32_t v) {
    if (v < 0) return kUnknownText;
    return v == 0 ? "MULTIPLE_INPUT_STREAM" : "SINGLE_INPUT_STREAM";
}
std::string CodingModulationText(std::int32_t v) {
    if (v < 0) return kUnknownText;
    return v == 0 ? "ACM" : "CCM";
}
std::string InputSynchroText(std::int32_t v) {
    if (v < 0) return kUnknownText;
    return v == 1 ? "ISSYI_ENABLED" : "ISSYI_DISABLED";
}
std::string NullPacketDeletionText(std::int32_t v) {
    if (v < 0) return kUnknownText;
    return v == 1 ? "NPD_ENABLED" : "NPD_DISABLED";
}

std::string RollOffText(std::int32_t v) {
    if (v < 0) return kUnknownText;
    constexpr std::array<std::string_view, 3> kNames = {"0.35", "0.25", "0.20"};
    return Lookup(kNames, v, 0, "RESERVED");
}

std::string PilotsText(std::int32_t v) {
    if (v < 0) return kUnknownText;
    return v == 1 ? "Pilots On" : "Pilots Off";
}
std::string FrameLengthText(std::int32_t v) {
    if (v < 0) return kUnknownText;
    return v == 1 ? "Short Frame" : "Long Frame";
}
std::string SpectrumText(std::int32_t v) {
    if (v < 0) return kUnknownText;
    return v == 1 ? "IQ_SWAPPED" : "IQ_NORMAL";
}

std::string Dvbs2CodeRateText(std::int32_t modCode) {
    if (modCode == 29) return "UNKNOW";
    return Lookup(kDvbs2Rates, modCode, 1, "NULL");
}

std::string DvbsCodeRateText(std::int32_t v) {
    constexpr std::array<std::string_view, 9> kNames = {"1/2", "2/3", "3/4", "4/5",    "5/6",
                                                        "6/7", "7/8", "8/9", "UNKNOWN"};
    return Lookup(kNames, v, 0, "NULL");
}

std::string MatypeText(std::int32_t matype1, std::int32_t matype2) {
    if (matype1 < 0 || matype2 < 0) return kUnknownText;
    std::string text = fmt::format("{:02x}  {:02x}", static_cast<std::uint32_t>(matype1),
                                   static_cast<std::uint32_t>(matype2));
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

ExtendedModCode DecodeExtendedModCode(std::int32_t code) {
    ExtendedModCode result{std::nullopt, "UNKNOWN", "UNKNOWN"};
    if (code < 0) return result;  // no range names a negative code: the boxes say so
    if (code < 32) {
        result.standard = "DVB-S2";
    } else if (code <= 62) {
        result.standard = "DVB-S1";
    } else if (code >= 64 && code <= 130) {
        result.standard = "DVB-S2X";
    }
    if (code == 0) {
        result.fec = "DUMMY_PLF";
        result.modulation = "QPSK";
    } else if (code <= 28) {
        result.fec = std::string(kDvbs2Rates[static_cast<std::size_t>(code - 1)]);
        result.modulation = std::string(Dvbs2Modulation(code));
    } else if (code >= 32 && code <= 37) {
        constexpr std::array<std::string_view, 6> kDvbs = {"1/2", "2/3", "3/4",
                                                           "5/6", "6/7", "7/8"};
        result.fec = std::string(kDvbs[static_cast<std::size_t>(code - 32)]);
        result.modulation = "QPSK";
    } else if (code >= 66 && code <= 124) {
        const S2xCode& s2x = kS2x[static_cast<std::size_t>(code - 66)];
        result.fec = std::string(s2x.fec);
        result.modulation = std::string(s2x.modulation);
    } else if (code >= 125 && code <= 130) {
        result.modulation = std::string(kDriverModulations[static_cast<std::size_t>(code - 125)]);
    }
    return result;
}

}  // namespace stream_info
