#include "platform/win/c_number.h"

#include <locale.h>
#include <stdlib.h>

#include <limits>
#include <string>

namespace platform {

namespace {

// isspace() of the "C" locale, independent of the process locale.
constexpr bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A "C" locale object made once and kept for the life of the process, so that a program
// that switched its numeric locale still reads "19.2" as nineteen point two.
locale_t CLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

}  // namespace

std::int32_t Atoi(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && IsCSpace(text[pos])) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    // Accumulate the magnitude in 64 bits and stop growing once it is past the 32-bit range,
    // so that any number of digits gives a defined, clamped result.
    constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        if (magnitude <= kLimit) magnitude = magnitude * 10 + (text[pos] - '0');
    }
    if (negative) {
        return magnitude >= kLimit ? std::numeric_limits<std::int32_t>::min()
                                   : static_cast<std::int32_t>(-magnitude);
    }
    return magnitude >= kLimit ? std::numeric_limits<std::int32_t>::max()
                               : static_cast<std::int32_t>(magnitude);
}

double Atof(std::string_view text, std::size_t* consumed) {
    // strtod needs a terminated text; the view may end in the middle of a larger buffer.
    const std::string terminated(text);
    const locale_t locale = CLocale();
    char* end = nullptr;
    // newlocale fails only when memory is exhausted; the process locale is then the best left.
    // Out-of-range values follow strtod: +-HUGE_VAL (infinity) on overflow, a denormal or 0 on
    // underflow; errno is not reported, as atof does not report it either.
    const double value = locale == static_cast<locale_t>(nullptr)
                             ? strtod(terminated.c_str(), &end)
                             : strtod_l(terminated.c_str(), &end, locale);
    if (consumed != nullptr) *consumed = static_cast<std::size_t>(end - terminated.c_str());
    return value;
}

}  // namespace platform
