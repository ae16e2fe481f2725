#include "positioner/pointing.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "diseqc/motor_message.h"
#include "platform/win/c_number.h"

namespace {

// The motor's constants, kept as they are: a different pi or orbit radius moves the angle.
constexpr double kPi = 3.141592654;
constexpr double kEarthRadius = 6378.0;                    // km
constexpr double kEarthRadiusSquared = 40678884.0;         // 6378 squared
constexpr double kOrbitRadius = 42164.2;                   // geostationary orbit, km
constexpr double kTwiceOrbitRadiusSquared = 3555639523.0;  // 2 * 42164.2^2, cut to a whole number
constexpr double kReachLimit = 65.0;  // degrees, in longitude and in motor angle

constexpr bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The number atof reads from `text`, or nothing when the text is not a coordinate: atof finds no
// number at all (an empty or blank text among them, which atof would read as 0 and so as a site
// at 0 N 0 E), or something other than blanks follows the number ("50.0N", "51.5abc"; "3.7 W"
// would be read as 3.7 degrees east). Blanks after the number are harmless and accepted.
std::optional<double> ReadNumber(std::string_view text) {
    std::size_t consumed = 0;
    const double value = platform::Atof(text, &consumed);
    if (consumed == 0) return std::nullopt;
    // By index over the whole text: a NUL inside it is not a blank either.
    for (std::size_t i = consumed; i < text.size(); ++i) {
        if (!IsCSpace(text[i])) return std::nullopt;
    }
    return value;
}

double Radians(double degrees) {
    return degrees * kPi / 180.0;
}
double Degrees(double radians) {
    return radians * 180.0 / kPi;
}

// The angle at the site between the orbit point on its own meridian and the satellite, `d`
// degrees of longitude away, by the law of cosines in the triangle of the two orbit points and
// the site.
double MeridianAngle(double latitude, double d) {
    const double phiR = Radians(latitude);
    const double dR = Radians(d);
    const double z2 = std::pow(kEarthRadius * std::sin(phiR), 2);
    const double r0 = std::sqrt(kEarthRadiusSquared - z2);
    const double p = std::sqrt(std::pow(r0 * std::sin(dR), 2) + z2);
    const double a =
        std::sqrt(std::pow(kOrbitRadius - std::sqrt(kEarthRadiusSquared - p * p), 2) + p * p);
    const double b = std::sqrt(std::pow(kOrbitRadius - r0, 2) + z2);
    const double q = std::sqrt(kTwiceOrbitRadiusSquared - kTwiceOrbitRadiusSquared * std::cos(dR));
    // Rounding can put the cosine a hair outside [-1, 1] for a satellite close to the meridian,
    // where acos would give NaN.
    const double cosine = std::clamp((b * b + a * a - q * q) / (2 * a * b), -1.0, 1.0);
    return Degrees(std::acos(cosine));
}

// A geostationary satellite `d` degrees of longitude from the site is below its horizon when
// the cosine of the angle at the earth's centre between site and satellite is less than the
// ratio of the two radii (the elevation is then negative). The motor would turn the dish
// towards the ground.
bool BelowHorizon(double latitude, double d) {
    return std::cos(Radians(latitude)) * std::cos(Radians(d)) < kEarthRadius / kOrbitRadius;
}

}  // namespace

GotoAngleResult ComputeGotoAngle(std::string_view satelliteText, std::string_view longitudeText,
                                 std::string_view latitudeText) {
    GotoAngleResult result;
    const std::optional<double> position = ReadNumber(satelliteText.substr(0, 4));
    const std::optional<double> longitude = ReadNumber(longitudeText);
    const std::optional<double> latitude = ReadNumber(latitudeText);
    if (!position || !longitude || !latitude) {
        result.status = GotoAngleStatus::RangeError;
        return result;
    }
    const double lambda = *longitude;
    const double phi = *latitude;

    double s = *position / 10.0;
    if (s > 180.0) s -= 360.0;
    // A "nan" text fails every comparison and would slip through to an undefined integer
    // conversion below: it is out of range like any other unusable number.
    if (!std::isfinite(s) || !std::isfinite(lambda) || !std::isfinite(phi) ||
        std::fabs(s) > 180.0 || std::fabs(lambda) > 180.0 || std::fabs(phi) > 90.0) {
        result.status = GotoAngleStatus::RangeError;
        return result;
    }

    double d = std::fabs(s - lambda);
    if (d > 180.0) d -= 360.0;  // the short way round, across the date line
    if (std::fabs(d) > kReachLimit || BelowHorizon(phi, d)) {
        result.status = GotoAngleStatus::Unreachable;
        return result;
    }

    // On the site's meridian (d = 0) the triangle collapses and the angle is exactly 0, the
    // motor's reference position; the law of cosines would leave rounding noise there instead.
    double u = d == 0.0 ? 0.0 : MeridianAngle(phi, d);
    if (std::fabs(u) > kReachLimit) {
        result.status = GotoAngleStatus::Unreachable;
        return result;
    }

    // The motor turns one way for a satellite west of a northern site or east of a southern one.
    // A site on the equator has no hemisphere to swap east and west: it turns as a northern one.
    if (!((s < lambda && phi >= 0.0) || (s > lambda && phi < 0.0))) u = -u;
    // Across the date line east and west swap in the comparison above.
    if ((s < -89.9 && lambda > 89.9) || (s > 89.9 && lambda < -89.9)) u = -u;

    result.status = GotoAngleStatus::Ok;
    result.motorAngle = u;
    result.message = diseqc::GotoAngle(u);
    return result;
}

std::string_view GotoAngleErrorText(GotoAngleStatus status) {
    switch (status) {
        case GotoAngleStatus::RangeError:
            return kRangeErrorText;
        case GotoAngleStatus::Unreachable:
            return kUnreachableText;
        case GotoAngleStatus::Ok:
            break;
    }
    return {};
}

GotoAngleStatus DriveToSatellite(std::string_view satelliteText, std::string_view longitudeText,
                                 std::string_view latitudeText,
                                 const std::function<void(const BYTE*, int)>& send) {
    const GotoAngleResult result = ComputeGotoAngle(satelliteText, longitudeText, latitudeText);
    // The positioner acknowledges nothing; what the driver makes of the message is its own report.
    if (result.status == GotoAngleStatus::Ok)
        send(result.message.data(), static_cast<int>(result.message.size()));
    return result.status;
}
