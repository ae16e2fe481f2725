#pragma once
// Which DiSEqC switch port leads to the dish motor, as the user set it in the "Dish Alignment"
// window. Positioner messages pass a committed switch only on its chosen port, so a command sent
// while the tuner is switched to another one never reaches the motor.
#include <cstdint>
#include <string>

namespace motor_port {

// 0: every port (the motor sits before any switch, or there is none); 1..4: ports A..D, as the
// Tuner Setting page numbers them.
inline constexpr std::int32_t kEveryPort = 0;
inline constexpr std::int32_t kLastPort = 4;
inline constexpr const char* kSection = "Dish";
inline constexpr const char* kKey = "MotorPort";

// The setting in a settings file; kEveryPort when it is missing or not one of the above.
std::int32_t Read(const std::string& settingsPath);
// "A".."D" for 1..4.
std::string PortName(std::int32_t port);
// Whether a tune's switch port (the page's index: 0 sends no switch message, 1..4 A..D) leads to
// a motor on `motorPort`. Without a switch message the port is not known, and not doubted.
bool Reaches(std::int32_t motorPort, std::int32_t tunedPortIndex);

}  // namespace motor_port
