#pragma once
// What follows from a carrier's modulation: the C/N it needs, the codes a driver reports for it,
// its baseband header and its useful bit rate. (The scrambling-code conversion is
// platform/ks/pls_code.h, shared with the Linux backend.)
//
// Required C/N (Es/N0 for quasi-error-free reception, dB):
//   DVB-S2, normal frames (EN 302 307-1 table 13): QPSK 1/4 -2.35, 1/3 -1.24, 2/5 -0.30,
//     1/2 1.00, 3/5 2.23, 2/3 3.10, 3/4 4.03, 4/5 4.68, 5/6 5.18, 8/9 6.20, 9/10 6.42;
//     8PSK 3/5 5.50, 2/3 6.62, 3/4 7.91, 5/6 9.35, 8/9 10.69, 9/10 10.98; 16APSK 2/3 8.97,
//     3/4 10.21, 4/5 11.03, 5/6 11.61, 8/9 12.89, 9/10 13.13; 32APSK 3/4 12.73, 4/5 13.64,
//     5/6 14.28, 8/9 15.69, 9/10 16.05. Short frames need 0.2 dB more.
//   DVB-S (EN 300 421 Eb/N0 after Reed-Solomon, converted with 2 * CR * 188 / 204):
//     1/2 4.2, 2/3 5.9, 3/4 6.9, 5/6 7.9, 7/8 8.5.
//   DVB-S2X (EN 302 307-2 table 20a): QPSK 13/45 -2.03, 9/20 0.22, 11/20 1.45.
#include <cstdint>
#include <optional>
#include <string>

#include "drivers/sim/sim_carrier.h"

namespace sim {

double RequiredCarrierToNoise(const SimCarrier& carrier);

// What the demodulator's C/N estimate reads with noise alone in its band: an estimator of signal
// against noise cannot tell a little noise from a weak carrier, so it never reads much below this.
inline constexpr double kEstimatorFloorDb = -3.0;
// The C/N the card reports for a carrier received at `carrierToNoise` dB: the carrier's power
// over the noise, plus the floor above (negligible for a carrier the card can lock, the floor
// itself for a carrier far below the noise, or none at all).
double MeasuredCarrierToNoise(double carrierToNoise);

// Bits per second of the whole carrier's baseband (all input streams together); nullopt for a
// combination that does not exist.
std::optional<double> CarrierUsefulBitRate(const SimCarrier& carrier);

// DVB-S2 MODCOD 1..28; 0 for DVB-S and DVB-S2X carriers.
int Dvbs2ModCodOf(const SimCarrier& carrier);
// The extended code of the x-model cards: the DVB-S2 MODCOD; 32 + the index of the DVB-S code
// rate in 1/2, 2/3, 3/4, 5/6, 6/7, 7/8; the DVB-S2X PLS code divided by two.
int ExtendedModCodeOf(const SimCarrier& carrier);
// The DVB-S code-rate index 0..7 (1/2, 2/3, 3/4, 4/5, 5/6, 6/7, 7/8, 8/9); 8 ("unknown") for
// DVB-S2 and DVB-S2X carriers.
int DvbsCodeRateIndexOf(const SimCarrier& carrier);
// 0 QPSK, 1 8PSK, 2 16APSK, 3 32APSK.
int ModulationCodeOf(const SimCarrier& carrier);
// MATYPE-1 (EN 302 307-1 clause 5.1.6): TS/GS (2 bits), SIS/MIS, CCM/ACM, ISSYI, NPD, roll-off
// (2 bits). DVB-S carriers report the header a DVB-S2 transport stream of the same kind would
// have: transport, single stream, CCM, roll-off 0.35.
std::uint8_t Matype1Of(const SimCarrier& carrier);
// Bits 7-6 of MATYPE-1: 3 transport, 1 generic continuous.
int StreamTypeFieldOf(const SimCarrier& carrier);

// "11362 H 22000 DVB-S2 8PSK 2/3", as the trace names a carrier.
std::string CarrierLabel(const SimCarrier& carrier);
std::string CodeRateText(dvb_rate::CodeRate rate);
std::string ModulationText(dvb_rate::Modulation modulation);

}  // namespace sim
