#include "pages/transponders/dish_texts.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "status/signal_texts.h"

namespace dish_texts {

namespace {

// One decimal, without "-0.0".
double Tenths(double value) {
    const double rounded = std::round(value * 10.0) / 10.0;
    return rounded == 0.0 ? 0.0 : rounded;
}

}  // namespace

std::string Peak(std::optional<double> carrierToNoiseDb, int secondsSinceMidnight) {
    if (!carrierToNoiseDb) return "-";
    return fmt::format("{} at {:02d}:{:02d}:{:02d}", DecibelText(carrierToNoiseDb),
                       secondsSinceMidnight / 3600, secondsSinceMidnight / 60 % 60,
                       secondsSinceMidnight % 60);
}

std::string Angle(double degrees, bool referenced) {
    const double tenths = Tenths(degrees);
    std::string text = tenths == 0.0
                           ? std::string("0.0°")
                           : fmt::format("{:.1f}° {}", std::fabs(tenths), tenths > 0 ? 'E' : 'W');
    if (!referenced) text += " (assumed)";
    return text;
}

std::string Target(std::optional<double> degrees, bool moving) {
    if (degrees) return Angle(*degrees);
    return moving ? "unknown" : "-";
}

std::string MotorState(bool moving, double direction) {
    if (!moving) return "at rest";
    if (direction > 0) return "moving east";
    if (direction < 0) return "moving west";
    return "moving";
}

std::string Arrival(std::optional<double> seconds, bool moving) {
    if (!moving) return "-";
    if (!seconds) return "unknown";
    return fmt::format("{:.1f} s", std::max(0.0, *seconds));
}

}  // namespace dish_texts
