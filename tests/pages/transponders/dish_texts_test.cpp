#include "pages/transponders/dish_texts.h"

#include <gtest/gtest.h>

#include "status/signal_texts.h"

namespace {

// The motor's sense is east positive; tenths round half away from zero and never read "-0.0".
TEST(DishTextsTest, AnglesTargetsStatesAndArrivals) {
    struct Case {
        std::string got;
        std::string want;
    };
    const Case cases[] = {
        {dish_texts::Angle(12.34), "12.3° E"},
        {dish_texts::Angle(-4.0), "4.0° W"},
        {dish_texts::Angle(0.04), "0.0°"},
        {dish_texts::Angle(-0.04), "0.0°"},
        {dish_texts::Angle(0.05), "0.1° E"},
        {dish_texts::Angle(7.5, false), "7.5° E (assumed)"},
        {dish_texts::Target(-20.25, true), "20.3° W"},
        {dish_texts::Target(std::nullopt, true), "unknown"},
        {dish_texts::Target(std::nullopt, false), "-"},
        {dish_texts::MotorState(true, 0.1), "moving east"},
        {dish_texts::MotorState(true, -3), "moving west"},
        {dish_texts::MotorState(true, 0), "moving"},
        {dish_texts::MotorState(false, 5), "at rest"},
        {dish_texts::Arrival(7.26, true), "7.3 s"},
        {dish_texts::Arrival(-0.2, true), "0.0 s"},
        {dish_texts::Arrival(std::nullopt, true), "unknown"},
        {dish_texts::Arrival(3.0, false), "-"},
        {DecibelText(9.84), "9.8 dB"},
        {DecibelText(-0.01), "0.0 dB"},
        {DecibelText(std::nullopt), "not reported"},
        {DecibelMilliwattText(-52.26), "-52.3 dBm"},
        {DecibelMilliwattText(std::nullopt), "not reported"},
        {dish_texts::Peak(10.24, 11 * 3600 + 42 * 60 + 7), "10.2 dB at 11:42:07"},
        {dish_texts::Peak(std::nullopt, 5), "-"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.want);
}

}  // namespace
