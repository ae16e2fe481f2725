#include "drivers/sim/sim_pointing.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sim {
namespace {

constexpr double kRadian = std::numbers::pi / 180.0;
constexpr double kSpeedOfLight = 299'792'458.0;

double Dot(const Vector3& a, const Vector3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

}  // namespace

Vector3 SitePosition(double latitude, double longitude) {
    const double phi = latitude * kRadian;
    const double lambda = longitude * kRadian;
    return {kEarthRadiusKm * std::cos(phi) * std::cos(lambda),
            kEarthRadiusKm * std::cos(phi) * std::sin(lambda), kEarthRadiusKm * std::sin(phi)};
}

Vector3 SatellitePosition(double longitudeEast) {
    const double lambda = longitudeEast * kRadian;
    return {kGeostationaryRadiusKm * std::cos(lambda), kGeostationaryRadiusKm * std::sin(lambda),
            0.0};
}

Vector3 Direction(const Vector3& from, const Vector3& to) {
    const Vector3 d{to.x - from.x, to.y - from.y, to.z - from.z};
    const double length = std::sqrt(Dot(d, d));
    return {d.x / length, d.y / length, d.z / length};
}

Vector3 PolarMountBoresight(double latitude, double longitude, double motorAngle) {
    const double phi = latitude * kRadian;
    const double lambda = longitude * kRadian;
    const double declination = std::atan2(-kEarthRadiusKm * std::sin(phi),
                                          kGeostationaryRadiusKm - kEarthRadiusKm * std::cos(phi));
    // Facing the equator from the south, the motor's east turns the dish west.
    const double mirror = latitude < 0 ? -1.0 : 1.0;
    const double hour = mirror * motorAngle * kRadian;
    // Meridian direction (outwards in the equatorial plane), east, and the polar axis.
    const Vector3 meridian{std::cos(lambda), std::sin(lambda), 0.0};
    const Vector3 east{-std::sin(lambda), std::cos(lambda), 0.0};
    const double c = std::cos(declination);
    return {c * (std::cos(hour) * meridian.x + std::sin(hour) * east.x),
            c * (std::cos(hour) * meridian.y + std::sin(hour) * east.y), std::sin(declination)};
}

Vector3 FixedDishBoresight(double latitude, double longitude, double longitudeEast) {
    return Direction(SitePosition(latitude, longitude), SatellitePosition(longitudeEast));
}

double AngleBetween(const Vector3& a, const Vector3& b) {
    return std::acos(std::clamp(Dot(a, b), -1.0, 1.0)) / kRadian;
}

double Elevation(double latitude, double longitude, const Vector3& direction) {
    const Vector3 up = Direction({0, 0, 0}, SitePosition(latitude, longitude));
    return std::asin(std::clamp(Dot(up, direction), -1.0, 1.0)) / kRadian;
}

double BeamWidth(double diameterMetres, double frequencyHz) {
    return 70.0 * (kSpeedOfLight / frequencyHz) / diameterMetres;
}

double PointingLoss(double errorDegrees, double beamWidthDegrees) {
    const double ratio = errorDegrees / beamWidthDegrees;
    return 12.0 * ratio * ratio;
}

}  // namespace sim
