#include "positioner/pointing.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include "support/message_box_recorder.h"

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
        {"0192", "10.0 E", "50.0N", {0xE1, 0x31, 0x6E, 0xE0, 0xA2}, -10.10},
        // 65 degrees of longitude still pass; the motor angle decides.
        {"0750", "10", "85", {0xE1, 0x31, 0x6E, 0xE4, 0x0D}, -64.85},
        // Poles and the equator are inside the range.
        {"0192", "10", "90", {0xE1, 0x31, 0x6E, 0xE0, 0x90}, -9.10},
        {"0192", "10", "-90", {0xE1, 0x31, 0x6E, 0xD0, 0x90}, +9.10},
        {"0192", "10", "0", {0xE1, 0x31, 0x6E, 0xE0, 0xAD}, -10.83},
    };
    for (const ReachableCase& c : cases) {
        SCOPED_TRACE(fmt::format("{} / {} / {}", c.satellite, c.longitude, c.latitude));
        const GotoAngleResult result = ComputeGotoAngle(c.satellite, c.longitude, c.latitude);
        ASSERT_EQ(result.status, GotoAngleStatus::Ok);
        EXPECT_EQ(Hex(result.message), Hex(c.message));
        EXPECT_NEAR(result.motorAngle, c.motorAngle, 0.005);
    }
}

struct RejectedCase {
    const char* satellite;
    const char* longitude;
    const char* latitude;
    GotoAngleStatus status;
};

TEST(ComputeGotoAngleTest, RejectsOutOfRangeAndUnreachableInput) {
    const RejectedCase cases[] = {
        {"0192", "200", "50", GotoAngleStatus::RangeError},
        {"0192", "10", "95", GotoAngleStatus::RangeError},
        {"0192", "-180.01", "0", GotoAngleStatus::RangeError},
        {"0192", "10", "-90.01", GotoAngleStatus::RangeError},
        {"9999", "10", "50", GotoAngleStatus::RangeError},  // 999.9 - 360 is still beyond 180
        {"0192", "nan", "50", GotoAngleStatus::RangeError},
        {"0192", "10", "inf", GotoAngleStatus::RangeError},
        {"3000", "10", "50", GotoAngleStatus::Unreachable},   // 70 degrees of longitude apart
        {"0751", "10", "85", GotoAngleStatus::Unreachable},   // 65.1 degrees apart
        {"0750", "10", "50", GotoAngleStatus::Unreachable},   // motor angle above 65
        {"0100", "10", "50", GotoAngleStatus::Unreachable},   // on the site's meridian
        {"1800", "-180", "0", GotoAngleStatus::Unreachable},  // the same meridian, both ways round
        {"", "", "", GotoAngleStatus::Unreachable},
        // Regressions: on the meridian the law of cosines gives 1 - 2^-53 at this latitude (a
        // motor angle of 8.5e-7 degrees, "E0 00") and 1 + 2^-52 at the next one (NaN from acos).
        {"0100", "10", "86.4057", GotoAngleStatus::Unreachable},
        {"0100", "10", "-87.7704", GotoAngleStatus::Unreachable},
        // 1e-7 degrees off the meridian the cosine comes out as 1 + 2^-52: clamped to 1, angle 0.
        {"0100", "10.0000001", "-7.5", GotoAngleStatus::Unreachable},
    };
    for (const RejectedCase& c : cases) {
        SCOPED_TRACE(fmt::format("{} / {} / {}", c.satellite, c.longitude, c.latitude));
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

TEST(EncodeGotoAngleTest, FractionNibbleIsTheTenthInSixteenths) {
    const BYTE nibbles[10] = {0x0, 0x2, 0x3, 0x5, 0x6, 0x8, 0xA, 0xB, 0xD, 0xE};
    for (int tenth = 0; tenth < 10; ++tenth) {
        SCOPED_TRACE(tenth);
        // 23 degrees and the tenth, a little above it so that the decimal value is not cut below.
        const double angle = 23.0 + tenth / 10.0 + 0.05;
        EXPECT_EQ(EncodeGotoAngle(angle),
                  (Message{0xE1, 0x31, 0x6E, 0xD1, BYTE(0x70 | nibbles[tenth])}));
        EXPECT_EQ(EncodeGotoAngle(-angle),
                  (Message{0xE1, 0x31, 0x6E, 0xE1, BYTE(0x70 | nibbles[tenth])}));
    }
}

TEST(EncodeGotoAngleTest, DegreesSplitIntoTheTwoAngleBytes) {
    const std::pair<double, Message> cases[] = {
        {0.05, {0xE1, 0x31, 0x6E, 0xD0, 0x00}},
        {-0.05, {0xE1, 0x31, 0x6E, 0xE0, 0x00}},
        {15.99, {0xE1, 0x31, 0x6E, 0xD0, 0xFE}},
        {16.0, {0xE1, 0x31, 0x6E, 0xD1, 0x00}},
        {-64.99, {0xE1, 0x31, 0x6E, 0xE4, 0x0E}},
        {std::nextafter(1.0, 0.0), {0xE1, 0x31, 0x6E, 0xD0, 0x0E}},  // tenth 9, never 10
    };
    for (const auto& [angle, message] : cases) {
        SCOPED_TRACE(angle);
        EXPECT_EQ(Hex(EncodeGotoAngle(angle)), Hex(message));
    }
}

class DriveToSatelliteTest : public ::testing::Test {
protected:
    std::function<void(const BYTE*, int)> Sender() {
        return
            [this](const BYTE* bytes, int length) { m_sent.emplace_back(bytes, bytes + length); };
    }

    const HWND m_page = reinterpret_cast<HWND>(std::uintptr_t{0x148});
    CMessageBoxRecorder m_boxes;
    std::vector<std::vector<BYTE>> m_sent;
};

TEST_F(DriveToSatelliteTest, SendsTheMessageOnceWithLengthFive) {
    EXPECT_EQ(DriveToSatellite("3550  Eutelsat 5 West B", "10.0", "50.0", m_page, Sender()), 0);
    EXPECT_EQ(m_sent, (std::vector<std::vector<BYTE>>{{0xE1, 0x31, 0x6E, 0xD1, 0x06}}));
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(DriveToSatelliteTest, ShowsTheErrorOverThePageAndSendsNothing) {
    EXPECT_EQ(DriveToSatellite("0192", "200", "50", m_page, Sender()), 1);
    EXPECT_EQ(DriveToSatellite("0192", "10", "95", m_page, Sender()), 1);
    EXPECT_EQ(DriveToSatellite("3000", "10", "50", m_page, Sender()), 1);
    EXPECT_TRUE(m_sent.empty());
    EXPECT_EQ(
        m_boxes.Boxes(),
        (std::vector<MessageBoxRequest>{
            {m_page, "Longitude or Latitude error!", "Error", MB_ICONSTOP},
            {m_page, "Longitude or Latitude error!", "Error", MB_ICONSTOP},
            {m_page, "Can not reach this satellite from your location!", "Error", MB_ICONSTOP},
        }));
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
    return {angle, apart, turn.z > 0.0};
}

// Satellite text of an orbital position in tenths of a degree east (negative: west).
std::string SatelliteText(int tenthsEast) {
    return fmt::format("{:04d}", tenthsEast >= 0 ? tenthsEast : 3600 + tenthsEast);
}

struct GridTally {
    int reachable = 0;
    int unreachable = 0;
    int equatorReachable = 0;
};

// Checks one case against the model; the motor angle within 0.001 degree, the reach and the
// direction: D0 for a satellite west of a northern site or east of a southern one.
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
    if (std::fabs(model.longitudeApart - 65.0) < 1e-6 || std::fabs(model.motorAngle - 65.0) < 1e-3)
        return;
    const bool reachable =
        model.longitudeApart > 1e-9 && model.longitudeApart <= 65.0 && model.motorAngle <= 65.0;
    ASSERT_EQ(result.status == GotoAngleStatus::Ok, reachable)
        << where << ": model angle " << model.motorAngle << ", apart " << model.longitudeApart;
    if (!reachable) {
        ++tally.unreachable;
        return;
    }
    ++tally.reachable;
    // The text's pi (3.141592654) and its cut constant 3555639523 account for up to 5e-5 degrees.
    EXPECT_NEAR(std::fabs(result.motorAngle), model.motorAngle, 0.001) << where;
    if (latitude == 0.0) {
        ++tally.equatorReachable;
        return;  // no hemisphere to tell the direction by: checked separately below
    }
    const bool positive =
        (!model.satelliteEast && latitude > 0.0) || (model.satelliteEast && latitude < 0.0);
    EXPECT_EQ(result.motorAngle > 0.0, positive) << where << ": angle " << result.motorAngle;
    EXPECT_EQ(result.message[3] & 0xF0, positive ? 0xD0 : 0xE0) << where;
}

TEST(GotoAngleModelTest, AgreesWithVectorGeometryOverAGridOfSitesAndSatellites) {
    GridTally tally;
    for (int latitude = -70; latitude <= 70; latitude += 5) {
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

TEST(GotoAngleModelTest, OnTheEquatorEverySatelliteTurnsTheSameWayExceptAcrossTheDateLine) {
    // The direction rule knows only the hemispheres: with the latitude 0 it negates every angle,
    // and the date-line correction turns it back for the sites and satellites on either side.
    EXPECT_LT(ComputeGotoAngle("0100", "0", "0").motorAngle, 0.0);     // satellite east
    EXPECT_LT(ComputeGotoAngle("3500", "0", "0").motorAngle, 0.0);     // satellite west
    EXPECT_GT(ComputeGotoAngle("1850", "170", "0").motorAngle, 0.0);   // east across the date line
    EXPECT_GT(ComputeGotoAngle("1750", "-170", "0").motorAngle, 0.0);  // west across the date line
}

}  // namespace
