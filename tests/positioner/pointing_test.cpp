#include "positioner/pointing.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

namespace {

using Message = std::array<BYTE, 5>;

std::string Hex(const Message& message) {
    return fmt::format("{:02X} {:02X} {:02X} {:02X} {:02X}", message[0], message[1], message[2],
                       message[3], message[4]);
}

struct ReachableCase {
    const char* satellite;
    const char* longitude;
    const char* latitude;
    Message message;
    double motorAngle;
};

TEST(ComputeGotoAngleTest, SendsTheBytesOfEveryWorkedExample) {
    const ReachableCase cases[] = {
        {"0192", "10.0", "50.0", {0xE1, 0x31, 0x6E, 0xE0, 0xA2}, -10.10},
        {"3550", "10.0", "50.0", {0xE1, 0x31, 0x6E, 0xD1, 0x06}, +16.46},  // 5.0 degrees west
        {"0935", "77.0", "28.6", {0xE1, 0x31, 0x6E, 0xE1, 0x2E}, -18.91},
        {"1750", "-170", "40", {0xE1, 0x31, 0x6E, 0xD1, 0x0D}, +16.83},   // across the date line
        {"1850", "170", "40", {0xE1, 0x31, 0x6E, 0xE1, 0x0D}, -16.83},    // 175.0 degrees west
        {"0192", "10", "-33.9", {0xE1, 0x31, 0x6E, 0xD0, 0xA6}, +10.46},  // southern site
        // A whole satellite entry: only its first four characters count.
        {"0192  Astra 1KR/1L/1M/1N", "10.0", "50.0", {0xE1, 0x31, 0x6E, 0xE0, 0xA2}, -10.10},
        // Read as atof reads: "19.2" is 19.2 tenths (1.92 degrees east); blanks are skipped.
        {"19.2", "10.0", "50.0", {0xE1, 0x31, 0x6E, 0xD0, 0x8D}, +8.87},
        {" 192", "10.0", "50.0", {0xE1, 0x31, 0x6E, 0xE0, 0xA2}, -10.10},
        // Numbers as atof reads them: sign, exponent, blanks before and after.
        {"0192", "+10", "5e1", {0xE1, 0x31, 0x6E, 0xE0, 0xA2}, -10.10},
        {"0192", " 10.0 ", "\t50.0\r\n", {0xE1, 0x31, 0x6E, 0xE0, 0xA2}, -10.10},
        // The satellite's name may follow its four characters directly: 51.5 tenths, "abc".
        {"51.5abc", "10", "50", {0xE1, 0x31, 0x6E, 0xD0, 0x55}, +5.33},
        // On the equator the motor turns as at a northern site: west D0, east E0, across the
        // date line too (before, every satellite was turned to the east: 0050 gave E0 5D).
        {"0192", "10", "0", {0xE1, 0x31, 0x6E, 0xE0, 0xAD}, -10.83},
        {"0050", "10", "0", {0xE1, 0x31, 0x6E, 0xD0, 0x5D}, +5.89},
        {"0050", "10", "-0", {0xE1, 0x31, 0x6E, 0xD0, 0x5D}, +5.89},
        {"3550", "10", "0.0", {0xE1, 0x31, 0x6E, 0xD1, 0x1A}, +17.63},
        {"1750", "-170", "0", {0xE1, 0x31, 0x6E, 0xD1, 0x1A}, +17.63},  // west across the line
        {"1850", "170", "0", {0xE1, 0x31, 0x6E, 0xE1, 0x1A}, -17.63},   // east across the line
        // On the site's meridian the motor goes to 0 degrees, its reference position.
        {"0000", "0.0", "51.5", {0xE1, 0x31, 0x6E, 0xE0, 0x00}, 0.0},
        {"0100", "10.0", "50", {0xE1, 0x31, 0x6E, 0xE0, 0x00}, 0.0},
        {"0000", "0", "-51.5", {0xE1, 0x31, 0x6E, 0xE0, 0x00}, 0.0},
        {"1800", "-180", "0", {0xE1, 0x31, 0x6E, 0xE0, 0x00}, 0.0},  // both ways round
        {"1800", "180", "40", {0xE1, 0x31, 0x6E, 0xE0, 0x00}, 0.0},
        // Regression: 1e-7 degrees off the meridian the cosine comes out as 1 + 2^-52; clamped
        // to 1 it is angle 0, where acos would have given NaN.
        {"0100", "10.0000001", "-7.5", {0xE1, 0x31, 0x6E, 0xE0, 0x00}, 0.0},
        // Just above the horizon (elevation +0.08 degrees) in both hemispheres; and a satellite
        // near both limits at once: motor angle 64.91, elevation +0.23.
        {"0192", "10", "81.1", {0xE1, 0x31, 0x6E, 0xE0, 0x95}, -9.31},
        {"0192", "10", "-81.1", {0xE1, 0x31, 0x6E, 0xD0, 0x95}, +9.31},
        {"0730", "10", "70", {0xE1, 0x31, 0x6E, 0xE4, 0x0E}, -64.91},
    };
    for (const ReachableCase& c : cases) {
        SCOPED_TRACE(fmt::format("{} / {} / {}", c.satellite, c.longitude, c.latitude));
        const GotoAngleResult result = ComputeGotoAngle(c.satellite, c.longitude, c.latitude);
        ASSERT_EQ(result.status, GotoAngleStatus::Ok);
        EXPECT_EQ(Hex(result.message), Hex(c.message));
        EXPECT_NEAR(result.motorAngle, c.motorAngle, 0.005);
        // On the meridian exactly 0, not rounding noise of the law of cosines.
        if (c.motorAngle == 0.0) {
            EXPECT_EQ(result.motorAngle, 0.0);
        }
    }
}

struct RejectedCase {
    std::string_view satellite;
    std::string_view longitude;
    std::string_view latitude;
    GotoAngleStatus status;
};

// "10", a NUL, "5": what strtod reads ends at the NUL, but the text goes on.
constexpr std::array<char, 4> kNulInside = {'1', '0', '\0', '5'};

TEST(ComputeGotoAngleTest, RejectsOutOfRangeAndUnreachableInput) {
    const RejectedCase cases[] = {
        {"0192", "200", "50", GotoAngleStatus::RangeError},
        {"0192", "10", "95", GotoAngleStatus::RangeError},
        {"0192", "-180.01", "0", GotoAngleStatus::RangeError},
        {"0192", "10", "-90.01", GotoAngleStatus::RangeError},
        {"9999", "10", "50", GotoAngleStatus::RangeError},  // 999.9 - 360 is still beyond 180
        {"0192", "nan", "50", GotoAngleStatus::RangeError},
        {"0192", "10", "inf", GotoAngleStatus::RangeError},
        // Texts in which atof finds no number would be read as 0, a site at 0 N 0 E, or as
        // satellite 0.0 E: empty, blank or not a number.
        {"", "", "", GotoAngleStatus::RangeError},
        {"", "10", "50", GotoAngleStatus::RangeError},
        {"0192", "", "50", GotoAngleStatus::RangeError},
        {"0192", "10", "", GotoAngleStatus::RangeError},
        {"0192", " ", "50", GotoAngleStatus::RangeError},
        {"    0192", "10", "50", GotoAngleStatus::RangeError},  // its four characters are blank
        {"Astra", "10", "50", GotoAngleStatus::RangeError},
        {"0192", "abc", "50", GotoAngleStatus::RangeError},
        {"0192", "10", "-", GotoAngleStatus::RangeError},
        {"0192", "10", ".", GotoAngleStatus::RangeError},
        // A number followed by anything but blanks is not a coordinate: "10.0 E" would be read
        // as 10 east and "3.7 W" as 3.7 east.
        {"0192", "10.0 E", "50.0", GotoAngleStatus::RangeError},
        {"0192", "3.7 W", "50.0", GotoAngleStatus::RangeError},
        {"0192", "10.0", "50.0N", GotoAngleStatus::RangeError},
        {"0192", "51.5abc", "50", GotoAngleStatus::RangeError},
        {"0192", "10", "51.5abc", GotoAngleStatus::RangeError},
        {"0192", "10", "51,5", GotoAngleStatus::RangeError},
        {"5abc", "10", "50", GotoAngleStatus::RangeError},  // within the four characters
        {"1.2.", "10", "50", GotoAngleStatus::RangeError},
        {"0192", std::string_view(kNulInside.data(), kNulInside.size()), "50",
         GotoAngleStatus::RangeError},
        {"3000", "10", "50", GotoAngleStatus::Unreachable},  // 70 degrees of longitude apart
        {"0751", "10", "85", GotoAngleStatus::Unreachable},  // 65.1 degrees apart
        {"0750", "10", "50", GotoAngleStatus::Unreachable},  // motor angle above 65
        // Below the horizon: the motor would turn the dish towards the ground. 19.2 E from
        // 10 E 85 N (elevation -3.7 degrees) was sent as E0 93; 65 degrees apart at 85 N
        // (motor angle 64.85, elevation -6.5) as E4 0D; the poles see no satellite at all.
        {"0192", "10", "85", GotoAngleStatus::Unreachable},
        {"0192", "10", "81.3", GotoAngleStatus::Unreachable},  // elevation -0.11
        {"0192", "10", "-81.3", GotoAngleStatus::Unreachable},
        {"0750", "10", "85", GotoAngleStatus::Unreachable},
        {"0192", "10", "90", GotoAngleStatus::Unreachable},
        {"0192", "10", "-90", GotoAngleStatus::Unreachable},
        // On the meridian, where the law of cosines gives 1 - 2^-53 at this latitude (a motor
        // angle of 8.5e-7 degrees) and 1 + 2^-52 at the next one (NaN from acos), but below the
        // horizon.
        {"0100", "10", "86.4057", GotoAngleStatus::Unreachable},
        {"0100", "10", "-87.7704", GotoAngleStatus::Unreachable},
    };
    for (const RejectedCase& c : cases) {
        SCOPED_TRACE(fmt::format("'{}' / '{}' / '{}'", c.satellite, c.longitude, c.latitude));
        const GotoAngleResult result = ComputeGotoAngle(c.satellite, c.longitude, c.latitude);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.motorAngle, 0.0);
    }
}

TEST(ComputeGotoAngleTest, NearTheMeridianTheAngleStaysFinite) {
    // Without the clamp an acos argument a hair above 1 gives NaN, and NaN is neither 0 nor out
    // of range, so it would be encoded.
    for (const char* longitude : {"10.0000001", "9.9999999", "10.000001", "9.999999", "10.00001"}) {
        for (int tenth = -899; tenth <= 899; ++tenth) {
            const std::string latitude = fmt::format("{:.1f}", tenth / 10.0);
            const GotoAngleResult result = ComputeGotoAngle("0100", longitude, latitude);
            ASSERT_TRUE(std::isfinite(result.motorAngle)) << longitude << " / " << latitude;
            EXPECT_LT(std::fabs(result.motorAngle), 0.01) << longitude << " / " << latitude;
        }
    }
}

class DriveToSatelliteTest : public ::testing::Test {
protected:
    std::function<void(const BYTE*, int)> Sender() {
        return
            [this](const BYTE* bytes, int length) { m_sent.emplace_back(bytes, bytes + length); };
    }

    std::vector<std::vector<BYTE>> m_sent;
};

TEST_F(DriveToSatelliteTest, SendsTheMessageOnceWithLengthFive) {
    EXPECT_EQ(DriveToSatellite("3550  Eutelsat 5 West B", "10.0", "50.0", Sender()),
              GotoAngleStatus::Ok);
    // The meridian is sent as 0 degrees, not refused.
    EXPECT_EQ(DriveToSatellite("0100  On the meridian", "10.0", "50.0", Sender()),
              GotoAngleStatus::Ok);
    EXPECT_EQ(m_sent, (std::vector<std::vector<BYTE>>{{0xE1, 0x31, 0x6E, 0xD1, 0x06},
                                                      {0xE1, 0x31, 0x6E, 0xE0, 0x00}}));
}

TEST_F(DriveToSatelliteTest, ReturnsTheErrorWithItsTextAndSendsNothing) {
    const struct {
        const char* satellite;
        const char* longitude;
        const char* latitude;
        GotoAngleStatus status;
    } cases[] = {
        {"0192", "200", "50", GotoAngleStatus::RangeError},
        {"0192", "10", "95", GotoAngleStatus::RangeError},
        {"0192", "", "", GotoAngleStatus::RangeError},
        {"0192", "10", "51.5abc", GotoAngleStatus::RangeError},
        {"3000", "10", "50", GotoAngleStatus::Unreachable},
        {"0192", "10", "85", GotoAngleStatus::Unreachable},  // below the horizon
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DriveToSatellite(c.satellite, c.longitude, c.latitude, Sender()), c.status)
            << c.satellite << " " << c.longitude << " " << c.latitude;
    }
    EXPECT_TRUE(m_sent.empty());
    EXPECT_EQ(GotoAngleErrorText(GotoAngleStatus::RangeError), "Longitude or Latitude error!");
    EXPECT_EQ(GotoAngleErrorText(GotoAngleStatus::Unreachable),
              "Can not reach this satellite from your location!");
    EXPECT_EQ(GotoAngleErrorText(GotoAngleStatus::Ok), "");
}

// An independent model of the dish: earth-centred vectors of the site (sphere of 6378 km), the
// satellite and the point of the geostationary orbit (42164.2 km) on the site's meridian. The
// motor angle is the angle at the site between the directions to those two orbit points.
struct Vector {
    double x, y, z;
    Vector operator-(const Vector& o) const { return {x - o.x, y - o.y, z - o.z}; }
    double Dot(const Vector& o) const { return x * o.x + y * o.y + z * o.z; }
    Vector Cross(const Vector& o) const {
        return {y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x};
    }
    double Length() const { return std::sqrt(Dot(*this)); }
};

constexpr double kDegree = std::numbers::pi / 180.0;

Vector OrbitPoint(double longitude) {
    return {42164.2 * std::cos(longitude * kDegree), 42164.2 * std::sin(longitude * kDegree), 0.0};
}

struct Geometry {
    double motorAngle;      // degrees, not negative
    double longitudeApart;  // degrees along the orbit the short way round, not negative
    bool satelliteEast;     // the satellite lies east of the site's meridian
    double elevation;       // degrees above the site's horizon (the plane normal to its radius)
};

Geometry Model(double satellite, double longitude, double latitude) {
    const Vector site{6378.0 * std::cos(latitude * kDegree) * std::cos(longitude * kDegree),
                      6378.0 * std::cos(latitude * kDegree) * std::sin(longitude * kDegree),
                      6378.0 * std::sin(latitude * kDegree)};
    const Vector meridian = OrbitPoint(longitude);
    const Vector bird = OrbitPoint(satellite);
    const Vector toBird = bird - site;
    const Vector toMeridian = meridian - site;
    const double angle =
        std::atan2(toBird.Cross(toMeridian).Length(), toBird.Dot(toMeridian)) / kDegree;
    const Vector turn = meridian.Cross(bird);  // along +z when the satellite is east
    const double apart = std::atan2(turn.Length(), meridian.Dot(bird)) / kDegree;
    // 90 degrees less the angle between the line of sight and the site's radius.
    const double elevation =
        90.0 - std::atan2(toBird.Cross(site).Length(), toBird.Dot(site)) / kDegree;
    return {angle, apart, turn.z > 0.0, elevation};
}

// Satellite text of an orbital position in tenths of a degree east (negative: west).
std::string SatelliteText(int tenthsEast) {
    return fmt::format("{:04d}", tenthsEast >= 0 ? tenthsEast : 3600 + tenthsEast);
}

struct GridTally {
    int reachable = 0;
    int unreachable = 0;
    int equatorReachable = 0;
    int meridian = 0;
    int belowHorizon = 0;  // within 65 degrees in longitude and in motor angle
};

// Checks one case against the model; the motor angle within 0.001 degree, the reach (within 65
// degrees in longitude and in motor angle, and above the horizon) and the direction: D0 for a
// satellite west of a northern site or of one on the equator, or east of a southern one.
void CheckAgainstModel(int tenthsEast, double longitude, double latitude, GridTally& tally) {
    const std::string longitudeText = fmt::format("{:.4f}", longitude);
    const std::string latitudeText = fmt::format("{:.4f}", latitude);
    const GotoAngleResult result =
        ComputeGotoAngle(SatelliteText(tenthsEast), longitudeText, latitudeText);
    const Geometry model =
        Model(tenthsEast / 10.0, std::stod(longitudeText), std::stod(latitudeText));
    const std::string where =
        fmt::format("satellite {} site {} / {}", tenthsEast / 10.0, longitudeText, latitudeText);
    ASSERT_NE(result.status, GotoAngleStatus::RangeError) << where;

    // Right at a cut-off the two computations may fall on different sides.
    if (std::fabs(model.longitudeApart - 65.0) < 1e-6 ||
        std::fabs(model.motorAngle - 65.0) < 1e-3 || std::fabs(model.elevation) < 1e-3)
        return;
    const bool inReach = model.longitudeApart <= 65.0 && model.motorAngle <= 65.0;
    const bool reachable = inReach && model.elevation > 0.0;
    ASSERT_EQ(result.status == GotoAngleStatus::Ok, reachable)
        << where << ": model angle " << model.motorAngle << ", apart " << model.longitudeApart
        << ", elevation " << model.elevation;
    if (!reachable) {
        ++tally.unreachable;
        if (inReach) ++tally.belowHorizon;
        return;
    }
    ++tally.reachable;
    // The text's pi (3.141592654) and its cut constant 3555639523 account for up to 5e-5 degrees.
    EXPECT_NEAR(std::fabs(result.motorAngle), model.motorAngle, 0.001) << where;
    if (model.longitudeApart < 1e-9) {
        ++tally.meridian;
        EXPECT_EQ(Hex(result.message), "E1 31 6E E0 00") << where;
        return;
    }
    if (latitude == 0.0) ++tally.equatorReachable;
    const bool positive =
        (!model.satelliteEast && latitude >= 0.0) || (model.satelliteEast && latitude < 0.0);
    EXPECT_EQ(result.motorAngle > 0.0, positive) << where << ": angle " << result.motorAngle;
    EXPECT_EQ(result.message[3] & 0xF0, positive ? 0xD0 : 0xE0) << where;
}

TEST(GotoAngleModelTest, AgreesWithVectorGeometryOverAGridOfSitesAndSatellites) {
    GridTally tally;
    for (int latitude = -85; latitude <= 85; latitude += 5) {
        for (int longitude = -180; longitude <= 180; longitude += 10) {
            for (int tenths = -1800; tenths <= 1800; tenths += 25) {
                CheckAgainstModel(tenths, longitude, latitude, tally);
                if (::testing::Test::HasFatalFailure()) return;
            }
        }
    }
    // The grid holds both kinds of case in numbers, so the checks above did run.
    EXPECT_GT(tally.reachable, 10000);
    EXPECT_GT(tally.unreachable, 10000);
    EXPECT_GT(tally.equatorReachable, 300);
    EXPECT_GT(tally.meridian, 500);
    EXPECT_GT(tally.belowHorizon, 1000);
}

TEST(GotoAngleModelTest, AgreesWithVectorGeometryAtRandomSites) {
    std::mt19937 random(20240611);
    std::uniform_real_distribution<double> latitudes(-70.0, 70.0);
    std::uniform_real_distribution<double> longitudes(-180.0, 180.0);
    std::uniform_int_distribution<int> offsets(-700, 700);  // tenths around the site
    GridTally tally;
    for (int i = 0; i < 20000; ++i) {
        const double longitude = longitudes(random);
        int tenths = static_cast<int>(std::lround(longitude * 10.0)) + offsets(random);
        if (tenths > 1800) tenths -= 3600;
        if (tenths <= -1800) tenths += 3600;
        CheckAgainstModel(tenths, longitude, latitudes(random), tally);
        if (::testing::Test::HasFatalFailure()) return;
    }
    EXPECT_GT(tally.reachable, 10000);
}

TEST(GotoAngleModelTest, OnTheEquatorTheMotorTurnsAsAtANorthernSite) {
    // Regression: the direction rule knew only the hemispheres and with the latitude 0 turned
    // every satellite east (E0), except across the date line, where it turned every one west.
    for (int longitude = -180; longitude <= 180; longitude += 5) {
        for (int apart = -57; apart <= 57; apart += 3) {  // beyond 57 the motor angle is above 65
            if (apart == 0) continue;
            int tenths = longitude * 10 + apart * 10;  // east of the site for apart > 0
            if (tenths > 1800) tenths -= 3600;
            if (tenths <= -1800) tenths += 3600;
            const GotoAngleResult result =
                ComputeGotoAngle(SatelliteText(tenths), std::to_string(longitude), "0");
            SCOPED_TRACE(fmt::format("satellite {} site {} E", tenths / 10.0, longitude));
            ASSERT_EQ(result.status, GotoAngleStatus::Ok);
            EXPECT_EQ(result.message[3] & 0xF0, apart > 0 ? 0xE0 : 0xD0);
        }
    }
}

}  // namespace
