#pragma once
// Number parsing with the C library's rules, as the system reads every numeric text.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace platform {

// atoi: leading white space, an optional sign, decimal digits up to the first other character;
// 0 when there are no digits. A value beyond the 32-bit range gives INT32_MAX or INT32_MIN.
std::int32_t Atoi(std::string_view text);

// atof: leading white space, then the longest prefix that strtod reads in the "C" locale
// (sign, digits, decimal point, exponent, inf, nan); 0.0 when nothing can be read.
// `consumed`, when given, receives how many characters of the text that took (0: no number).
double Atof(std::string_view text, std::size_t* consumed = nullptr);

}  // namespace platform
