#pragma once
// Where the simulated dishes point, from first principles. Vectors are in an earth-centred frame
// that turns with the earth (x towards 0 degrees longitude on the equator, z north), in km.
//
// Earth: a sphere of radius 6378.137 km; the geostationary orbit: radius 42164.17 km.
// A fixed dish points straight at its satellite.
// The motorised dish sits on a polar mount: it turns about an axis parallel to the earth's axis.
// At motor angle 0 it points along the site's meridian, tilted by the declination offset
//     d0 = atan2(-R sin(lat), r - R cos(lat))
// so that it meets the geostationary arc due south (north at a southern site). A motor angle
// turns it by the same hour angle about the polar axis. The motor is mounted facing the equator:
// at a northern site a positive (east, "E") motor angle turns the dish east; at a southern site,
// where it faces north, the same angle turns it west.
//
// Beam: the half-power width of a dish of diameter D at wavelength lambda is 70 * lambda / D
// degrees; a pointing error e costs 12 * (e / width)^2 dB (the Gaussian main lobe).
namespace sim {

struct Vector3 {
    double x = 0;
    double y = 0;
    double z = 0;
};

inline constexpr double kEarthRadiusKm = 6378.137;
inline constexpr double kGeostationaryRadiusKm = 42164.17;

Vector3 SitePosition(double latitude, double longitude);
Vector3 SatellitePosition(double longitudeEast);
// Unit vector from `from` to `to`.
Vector3 Direction(const Vector3& from, const Vector3& to);
// Boresight of the polar-mounted dish at `motorAngle` degrees (positive: the motor's east).
Vector3 PolarMountBoresight(double latitude, double longitude, double motorAngle);
// Boresight of a dish aimed at the satellite at `longitudeEast`.
Vector3 FixedDishBoresight(double latitude, double longitude, double longitudeEast);
// Angle between two unit vectors, degrees.
double AngleBetween(const Vector3& a, const Vector3& b);
// Elevation above the local horizon of a direction seen from the site, degrees.
double Elevation(double latitude, double longitude, const Vector3& direction);
// Half-power beam width, degrees.
double BeamWidth(double diameterMetres, double frequencyHz);
// Gain lost by pointing `errorDegrees` off the boresight, dB (positive).
double PointingLoss(double errorDegrees, double beamWidthDegrees);

}  // namespace sim
