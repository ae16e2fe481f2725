#pragma once
// The texts of the "Dish Alignment" window: signal figures, the peak, and the motor as the
// program believes it to be.
#include <cstdint>
#include <optional>
#include <string>

namespace dish_texts {

// "10.2 dB at 11:42:07", the clock time given as seconds since midnight; "-" without a peak.
std::string Peak(std::optional<double> carrierToNoiseDb, int secondsSinceMidnight);
// A motor angle: "12.3° E", "4.0° W", "0.0°"; " (assumed)" while nothing has referenced it.
std::string Angle(double degrees, bool referenced = true);
// Where a movement ends: its angle, "unknown" while moving without one, "-" at rest.
std::string Target(std::optional<double> degrees, bool moving);
// "moving east", "moving west", "moving" (direction not known yet) or "at rest"; `direction`
// is positive east.
std::string MotorState(bool moving, double direction);
// "7.3 s" until arrival, "unknown" while moving without one, "-" at rest.
std::string Arrival(std::optional<double> seconds, bool moving);

}  // namespace dish_texts
