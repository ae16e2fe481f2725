#pragma once
// Useful transport-stream bit rate of a DVB-S or DVB-S2 carrier, and the DVB-S2 MODCOD numbering.
//
// Useful rate means the bits of 188-byte TS packets the demodulator hands on per second.
//
// DVB-S (EN 300 421): the inner convolutional code of rate CR works on QPSK symbols (2 bits), the
// outer Reed-Solomon RS(204,188) code adds 16 bytes to each 188-byte packet, so
//     Ru = Rs * 2 * CR * 188 / 204.
//
// DVB-S2 (EN 302 307-1): a BBFRAME of Kbch bits (tables 5a and 5b, by frame length and code rate)
// starts with the 80-bit BBHEADER (clause 5.1.6); the rest is user packets. The FEC frame of Nldpc
// bits (64800 normal, 16200 short) is mapped onto S slots of 90 symbols, S = Nldpc / (90 * bits
// per symbol), and the PLHEADER adds one slot's worth (90 symbols, clause 5.5.2). With pilots, a
// block of 36 pilot symbols follows every 16 slots except after the last one, giving (S - 1) / 16
// blocks (clause 5.5.3). Per PLFRAME then
//     Ru = Rs * (Kbch - 80) / (90 + 90 * S + 36 * ((S - 1) / 16 if pilots else 0)).
// The roll-off sets the occupied bandwidth, not the rate, so it takes no part here.
#include <cstdint>
#include <optional>
#include <utility>

namespace dvb_rate {

enum class DeliverySystem { DvbS, DvbS2 };
enum class Modulation { Qpsk, Psk8, Apsk16, Apsk32 };
enum class CodeRate { R1_4, R1_3, R2_5, R1_2, R3_5, R2_3, R3_4, R4_5, R5_6, R7_8, R8_9, R9_10 };
enum class FrameLength { Normal, Short };

struct CarrierParameters {
    DeliverySystem system = DeliverySystem::DvbS2;
    Modulation modulation = Modulation::Qpsk;
    CodeRate rate = CodeRate::R3_4;
    bool pilots = false;                      // DVB-S2 only
    FrameLength frame = FrameLength::Normal;  // DVB-S2 only
    std::uint32_t symbolRate = 0;             // symbols per second
};

// Bits per second of TS packets; nullopt for a combination the standards do not define
// (DVB-S other than QPSK or with a rate outside 1/2 2/3 3/4 5/6 7/8, a DVB-S2 MODCOD that does
// not exist, short frames at 9/10).
std::optional<double> UsefulBitRate(const CarrierParameters& carrier);

// BCH-uncoded block length Kbch in bits; nullopt where the frame length has no such rate.
std::optional<std::uint32_t> Dvbs2Kbch(FrameLength frame, CodeRate rate);

// PLFRAME length in symbols, header and pilots included; nullopt for an undefined MODCOD.
std::optional<std::uint32_t> Dvbs2PlFrameSymbols(Modulation modulation, CodeRate rate,
                                                 FrameLength frame, bool pilots);

// MODCOD 1..28 of the PLS code (QPSK 1/4 = 1 ... 32APSK 9/10 = 28), and back.
std::optional<int> Dvbs2ModCod(Modulation modulation, CodeRate rate);
std::optional<std::pair<Modulation, CodeRate>> Dvbs2FromModCod(int modcod);

}  // namespace dvb_rate
