#include "positioner/motor_port.h"

#include "core/ini_file.h"
#include "platform/win/c_number.h"

namespace motor_port {

std::int32_t Read(const std::string& settingsPath) {
    const std::string text = ReadIniString(settingsPath, kSection, kKey);
    const std::int32_t port = platform::Atoi(text);
    return port >= kEveryPort && port <= kLastPort ? port : kEveryPort;
}

std::string PortName(std::int32_t port) {
    return std::string(1, static_cast<char>('A' + port - 1));
}

bool Reaches(std::int32_t motorPort, std::int32_t tunedPortIndex) {
    const bool switched = tunedPortIndex >= 1 && tunedPortIndex <= kLastPort;
    return motorPort == kEveryPort || !switched || tunedPortIndex == motorPort;
}

}  // namespace motor_port
