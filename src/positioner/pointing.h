#pragma once
// Turning a motorised dish straight to a satellite: the motor angle from the satellite's orbital
// position and the site's coordinates, sent as one DiSEqC 1.2 "goto angular position" message.
#include <array>
#include <functional>
#include <string_view>

#include "platform/com/win_types.h"

enum class GotoAngleStatus {
    Ok,
    RangeError,   // satellite, longitude or latitude out of range or not a number
    Unreachable,  // more than 65 degrees away in longitude or in motor angle, or below the horizon
};

struct GotoAngleResult {
    GotoAngleStatus status = GotoAngleStatus::RangeError;
    // E1 31 6E, direction and whole degrees, degrees and sixteenths (diseqc::GotoAngle); valid
    // when status is Ok.
    std::array<BYTE, 5> message{};
    // Motor angle in degrees, positive for direction D0; 0 for a satellite on the site's meridian,
    // and 0 unless status is Ok.
    double motorAngle = 0.0;
};

inline constexpr std::string_view kRangeErrorText = "Longitude or Latitude error!";
inline constexpr std::string_view kUnreachableText =
    "Can not reach this satellite from your location!";

// `satelliteText` begins with the orbital position in tenths of a degree east (a satellite
// entry, "0192  Name"; a western position is 3600 minus its tenths west); only its first four
// characters are read. Longitude (east positive) and latitude are decimal degrees. Each number
// is read as atof reads it, but a text in which atof finds no number (empty or blank among them)
// or which goes on after its number with anything but blanks ("50.0N", "51.5abc") is a
// RangeError: atof would read those as 0 or as the leading number ("3.7 W" as 3.7 east).
GotoAngleResult ComputeGotoAngle(std::string_view satelliteText, std::string_view longitudeText,
                                 std::string_view latitudeText);

// The text that tells the user of an error: kRangeErrorText or kUnreachableText; empty for Ok.
std::string_view GotoAngleErrorText(GotoAngleStatus status);

// Computes the goto-angle message and, when it is Ok, hands it to `send` once (bytes, length 5);
// on an error sends nothing. Returns the status.
GotoAngleStatus DriveToSatellite(std::string_view satelliteText, std::string_view longitudeText,
                                 std::string_view latitudeText,
                                 const std::function<void(const BYTE*, int)>& send);
