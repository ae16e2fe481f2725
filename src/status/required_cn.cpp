#include "status/required_cn.h"

#include <array>
#include <cmath>
#include <string_view>

namespace required_cn {

namespace {

struct Dvbs2ModCod {
    std::string_view modulation;
    std::string_view rate;
    double esN0;  // dB
};

// MODCOD 1..28 (index 0 is MODCOD 1).
constexpr std::array<Dvbs2ModCod, 28> kDvbs2 = {{
    {"QPSK", "1/4", -2.35},    {"QPSK", "1/3", -1.24},    {"QPSK", "2/5", -0.30},
    {"QPSK", "1/2", 1.00},     {"QPSK", "3/5", 2.23},     {"QPSK", "2/3", 3.10},
    {"QPSK", "3/4", 4.03},     {"QPSK", "4/5", 4.68},     {"QPSK", "5/6", 5.18},
    {"QPSK", "8/9", 6.20},     {"QPSK", "9/10", 6.42},    {"8PSK", "3/5", 5.50},
    {"8PSK", "2/3", 6.62},     {"8PSK", "3/4", 7.91},     {"8PSK", "5/6", 9.35},
    {"8PSK", "8/9", 10.69},    {"8PSK", "9/10", 10.98},   {"16APSK", "2/3", 8.97},
    {"16APSK", "3/4", 10.21},  {"16APSK", "4/5", 11.03},  {"16APSK", "5/6", 11.61},
    {"16APSK", "8/9", 12.89},  {"16APSK", "9/10", 13.13}, {"32APSK", "3/4", 12.73},
    {"32APSK", "4/5", 13.64},  {"32APSK", "5/6", 14.28},  {"32APSK", "8/9", 15.69},
    {"32APSK", "9/10", 16.05},
}};

struct DvbsRate {
    std::string_view text;
    int numerator;
    int denominator;
    std::optional<double> ebN0;  // dB after Viterbi; none where the standard has no such rate
};

// Code-rate index 0..7 of the carrier report.
constexpr std::array<DvbsRate, 8> kDvbs = {{
    {"1/2", 1, 2, 4.5},
    {"2/3", 2, 3, 5.0},
    {"3/4", 3, 4, 5.5},
    {"4/5", 4, 5, std::nullopt},
    {"5/6", 5, 6, 6.0},
    {"6/7", 6, 7, std::nullopt},
    {"7/8", 7, 8, 6.4},
    {"8/9", 8, 9, std::nullopt},
}};

const Dvbs2ModCod* FindDvbs2(std::int32_t standard, std::int32_t modCode) {
    if (standard != kStandardDvbS2 || modCode < 1 ||
        modCode > static_cast<std::int32_t>(kDvbs2.size()))
        return nullptr;
    return &kDvbs2[static_cast<std::size_t>(modCode - 1)];
}

const DvbsRate* FindDvbs(std::int32_t standard, std::int32_t dvbsCodeRate) {
    if (standard != kStandardDvbS || dvbsCodeRate < 0 ||
        dvbsCodeRate >= static_cast<std::int32_t>(kDvbs.size()))
        return nullptr;
    return &kDvbs[static_cast<std::size_t>(dvbsCodeRate)];
}

}  // namespace

std::optional<double> RequiredCarrierToNoise(std::int32_t standard, std::int32_t modCode,
                                             std::int32_t dvbsCodeRate) {
    if (const Dvbs2ModCod* s2 = FindDvbs2(standard, modCode)) return s2->esN0;
    const DvbsRate* s = FindDvbs(standard, dvbsCodeRate);
    if (s == nullptr || !s->ebN0) return std::nullopt;
    // QPSK carries two bits a symbol, of which R are the convolutional code's input and 188/204
    // of those the Reed-Solomon code's payload.
    const double bitsPerSymbol = 2.0 * s->numerator / s->denominator * 188.0 / 204.0;
    return *s->ebN0 + 10.0 * std::log10(bitsPerSymbol);
}

std::optional<double> RequiredCarrierToNoise(const MediaInfoRecord& report) {
    return RequiredCarrierToNoise(report.standard, report.modCode, report.dvbsCodeRate);
}

std::optional<std::string> ModCodText(std::int32_t standard, std::int32_t modCode,
                                      std::int32_t dvbsCodeRate) {
    if (const Dvbs2ModCod* s2 = FindDvbs2(standard, modCode))
        return "DVB-S2 " + std::string(s2->modulation) + " " + std::string(s2->rate);
    if (const DvbsRate* s = FindDvbs(standard, dvbsCodeRate))
        return "DVB-S " + std::string(s->text);
    return std::nullopt;
}

std::optional<std::string> ModCodText(const MediaInfoRecord& report) {
    return ModCodText(report.standard, report.modCode, report.dvbsCodeRate);
}

}  // namespace required_cn
