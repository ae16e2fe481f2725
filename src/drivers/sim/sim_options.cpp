#include "drivers/sim/sim_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "platform/win/private_profile.h"

namespace {

bool ReadNumber(const std::string& path, const char* section, const char* key, double* value) {
    char buffer[64] = {};
    GetPrivateProfileStringA(section, key, "", buffer, sizeof buffer, path.c_str());
    if (buffer[0] == '\0') return false;
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(buffer, &end);
    if (end == buffer || *end != '\0' || errno != 0 || !std::isfinite(parsed)) return false;
    *value = parsed;
    return true;
}

void Read(const std::string& path, const char* section, const char* key, double* value) {
    ReadNumber(path, section, key, value);
}

void ReadPositive(const std::string& path, const char* section, const char* key, double* value) {
    double parsed = 0;
    if (ReadNumber(path, section, key, &parsed) && parsed > 0) *value = parsed;
}

void ReadMHz(const std::string& path, const char* section, const char* key, std::uint32_t* value) {
    double parsed = 0;
    if (ReadNumber(path, section, key, &parsed) && parsed > 0 && parsed < 100000) {
        *value = static_cast<std::uint32_t>(std::lround(parsed));
    }
}

}  // namespace

SimOptions ReadSimOptions(const std::string& path) {
    SimOptions options;
    double latitude = options.latitude;
    double longitude = options.longitude;
    Read(path, "Site", "Latitude", &latitude);
    Read(path, "Site", "Longitude", &longitude);
    if (std::fabs(latitude) <= 89.0) options.latitude = latitude;
    if (std::fabs(longitude) <= 180.0) options.longitude = longitude;
    const char* ports[] = {"PortB", "PortC", "PortD"};
    for (std::size_t i = 0; i < options.fixedDishEast.size(); ++i) {
        double east = options.fixedDishEast[i];
        if (ReadNumber(path, "Dishes", ports[i], &east) && std::fabs(east) <= 180.0) {
            options.fixedDishEast[i] = east;
        }
    }
    ReadPositive(path, "Dishes", "Diameter", &options.dishDiameter);
    ReadMHz(path, "LNB", "Low", &options.lnbLowMHz);
    ReadMHz(path, "LNB", "High", &options.lnbHighMHz);
    ReadPositive(path, "Motor", "Speed", &options.motorSpeed);
    ReadPositive(path, "Motor", "Step", &options.motorStep);
    ReadPositive(path, "Motor", "Range", &options.motorRange);
    Read(path, "Reception", "CarrierToNoise", &options.carrierToNoise);
    double noise = options.noise;
    if (ReadNumber(path, "Reception", "Noise", &noise) && noise >= 0) options.noise = noise;
    double seed = 0;
    if (ReadNumber(path, "Reception", "Seed", &seed) && seed >= 0 && seed < 1e18) {
        options.seed = static_cast<std::uint64_t>(seed);
    }
    return options;
}
