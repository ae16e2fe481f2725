#include "platform/win/c_number.h"

#include <gtest/gtest.h>
#include <locale.h>
#include <stdlib.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "support/temp_folder.h"

namespace {

using namespace std::string_view_literals;

struct AtoiCase {
    std::string_view text;
    std::int32_t expected;
};

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

const AtoiCase kAtoiCases[] = {
    {"", 0},
    {"abc", 0},
    {"12abc", 12},
    {"42", 42},
    {"  42", 42},
    {" \t\n\v\f\r7", 7},  // every C blank is skipped
    {"+5", 5},
    {"-17", -17},
    {"-0", 0},
    {"0x10", 0},  // decimal only: the 'x' ends the number
    {"00012", 12},
    {"1 2", 1},
    {"1.9", 1},
    {"+-3", 0},
    {"- 3", 0},
    {"+", 0},
    {"-", 0},
    {"\xA0"
     "5",
     0},  // a non-ASCII byte is not a blank
    {"2147483647", kMax},
    {"2147483648", kMax},
    {"-2147483647", -2147483647},
    {"-2147483648", kMin},
    {"-2147483649", kMin},
    {"99999999999999999999999999999999", kMax},
    {"-99999999999999999999999999999999", kMin},
    {"000000000000000000000000000000001", 1},  // leading zeros never overflow
    {"12\0"
     "34"sv,
     12},
};

TEST(AtoiTest, FollowsTheCLibraryRules) {
    for (const AtoiCase& c : kAtoiCases) {
        EXPECT_EQ(platform::Atoi(c.text), c.expected) << "text \"" << c.text << "\"";
    }
}

TEST(AtoiTest, StopsAtTheEndOfTheView) {
    const std::string_view digits = "123456";
    EXPECT_EQ(platform::Atoi(digits.substr(0, 3)), 123);
    EXPECT_EQ(platform::Atoi(digits.substr(2, 2)), 34);
    EXPECT_EQ(platform::Atoi(digits.substr(0, 0)), 0);
}

struct AtofCase {
    std::string_view text;
    double expected;
    std::size_t consumed;  // characters the number took
};

const AtofCase kAtofCases[] = {
    {"19.2xyz", 19.2, 4},
    {"  -170", -170.0, 6},
    {"", 0.0, 0},
    {"abc", 0.0, 0},
    {"+5", 5.0, 2},
    {".5", 0.5, 2},
    {"5.", 5.0, 2},
    {"1e3", 1000.0, 3},
    {"1E-2", 0.01, 4},
    {"1e", 1.0, 1},  // an exponent without digits is not part of the number
    {"1e+", 1.0, 1},
    {"\t\n 3.5", 3.5, 6},
    {"1,5", 1.0, 1},  // the decimal point is '.', whatever the process locale says
    {"  13.0E", 13.0, 6},
    {"0x10", 16.0, 4},   // strtod reads hexadecimal floating constants, as the C library atof does
    {"1e-400", 0.0, 6},  // underflow gives zero
    {"-", 0.0, 0},
    {"7.25\0"
     "99"sv,
     7.25, 4},
};

TEST(AtofTest, FollowsTheCLibraryRules) {
    for (const AtofCase& c : kAtofCases) {
        std::size_t consumed = 99;
        EXPECT_DOUBLE_EQ(platform::Atof(c.text, &consumed), c.expected)
            << "text \"" << c.text << "\"";
        EXPECT_EQ(consumed, c.consumed) << "text \"" << c.text << "\"";
    }
}

TEST(AtofTest, SpecialValues) {
    // Overflow gives infinity with the sign of the text, as strtod does.
    EXPECT_EQ(platform::Atof("1e400"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(platform::Atof("-1e400"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(platform::Atof("inf"), std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(platform::Atof("nan")));
    const double negativeZero = platform::Atof("-0");
    EXPECT_EQ(negativeZero, 0.0);
    EXPECT_TRUE(std::signbit(negativeZero));
}

TEST(AtofTest, StopsAtTheEndOfTheView) {
    const std::string_view text = "1.25e3";
    EXPECT_DOUBLE_EQ(platform::Atof(text.substr(0, 4)), 1.25);  // not 1250
    EXPECT_DOUBLE_EQ(platform::Atof(text.substr(0, 1)), 1.0);
    // A view into a buffer that is not terminated at all.
    const char digits[3] = {'4', '.', '5'};
    EXPECT_DOUBLE_EQ(platform::Atof(std::string_view(digits, 2)), 4.0);
}

// Guards against a plain strtod/atof, which follow the process's numeric locale.
TEST(AtofTest, IgnoresTheProcessLocale) {
    CTempFolder folder;
    const std::string command =
        "localedef -i de_DE -f ISO-8859-1 " + folder.Path() + "/de_DE >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) {
        GTEST_SKIP() << "localedef cannot build de_DE here (Debian package 'locales' missing)";
    }
    ::setenv("LOCPATH", folder.Path().c_str(), 1);
    const bool switched = ::setlocale(LC_NUMERIC, "de_DE") != nullptr;
    // The check that the locale is really in force: the C library now reads a comma.
    const double libraryReading = switched ? ::strtod("19,5", nullptr) : 0.0;
    const double atofPoint = platform::Atof("19.2xyz");
    const double atofComma = platform::Atof("19,5");
    ::setlocale(LC_NUMERIC, "C");
    ::unsetenv("LOCPATH");
    ASSERT_TRUE(switched);
    ASSERT_DOUBLE_EQ(libraryReading, 19.5);
    EXPECT_DOUBLE_EQ(atofPoint, 19.2);
    EXPECT_DOUBLE_EQ(atofComma, 19.0);
}

}  // namespace
