#pragma once
// The simulated card's options: the receiving site, the dishes behind the committed switch, the
// LNB every dish carries, the dish motor and the receiver noise. The defaults need no file; the
// optional file SimulatedCard.ini in the user's configuration folder overrides any of them.
//
//   [Site]      Latitude=50.0  Longitude=10.0         decimal degrees, north and east positive
//   [Dishes]    PortB=19.2  PortC=13.0  PortD=28.2     orbital positions of the fixed dishes,
//                                                      degrees east (west negative)
//               Diameter=0.80                          metres, every dish
//   [LNB]       Low=9750  High=10600                   MHz: the oscillators the LNBs really have
//                                                      (the 22 kHz tone picks the band)
//   [Motor]     Speed=1.5  Step=0.125  Range=75         degrees per second, degrees per step,
//                                                      mechanical limit either side of 0
//   [Reception] CarrierToNoise=14.0                    dB on the boresight of an 80 cm dish
//               Noise=0.2  Seed=1                      dB standard deviation of the reported
//                                                      values (0 turns it off); random seed
// A key that is missing or does not read as a number keeps its default.
#include <array>
#include <cstdint>
#include <string>

struct SimOptions {
    double latitude = 50.0;
    double longitude = 10.0;
    std::array<double, 3> fixedDishEast = {19.2, 13.0, 28.2};  // ports B, C and D
    double dishDiameter = 0.80;
    std::uint32_t lnbLowMHz = 9750;
    std::uint32_t lnbHighMHz = 10600;
    double motorSpeed = 1.5;
    double motorStep = 0.125;
    double motorRange = 75.0;
    double carrierToNoise = 14.0;
    double noise = 0.2;
    std::uint64_t seed = 1;
};

// Reads the options file at `path`; every value the file does not give keeps its default.
SimOptions ReadSimOptions(const std::string& path);
