#include "core/ini_file.h"

#include "platform/win/private_profile.h"

std::string ReadIniString(const std::string& path, const std::string& section,
                          const std::string& key) {
    char buffer[260] = {};
    GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer, sizeof buffer, path.c_str());
    return buffer;
}

std::int32_t WriteIniString(const std::string& path, const std::string& section,
                            const std::string& key, const std::string& value) {
    if (WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str()))
        return 0;
    return static_cast<std::int32_t>(GetLastError());
}
