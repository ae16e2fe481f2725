#pragma once
// The carrier report (the 72-byte GET_MEDIAINFO record: eighteen little-endian int32) built
// from what is known of the received carrier.
//
// The kernel tells at most what a driver reads back from its demodulator (delivery system,
// modulation, inner FEC, roll-off, pilots, inversion), and the baseband header not at all
// (CCM/ACM, ISSYI, NPD, frame length, input streams, MATYPE). What is not known is reported as
// unknown, never as what was asked for: standard -1, MODCOD 29, DVB-S code rate 8, modulation
// -1, and -1 for roll-off, pilots, spectrum, frame length, input stream, input stream id, CCM,
// ISSYI, NPD and both MATYPE bytes. A DVB-S carrier is known to be QPSK with roll-off 0.35, no
// pilots, one transport stream and MATYPE 0 0. The stream type is a transport stream (the demux
// delivers one).
#include <array>
#include <cstdint>
#include <optional>

namespace linuxdvb {

// The kernel's numbers (SYS_*, QPSK/PSK_8/..., FEC_*, ROLLOFF_*, PILOT_*, INVERSION_*),
// frequency (IF) in kHz, symbol rate in symbols/s; each part none when not known.
struct DvbReceivedCarrier {
    std::uint32_t frequencyKHz = 0;
    std::uint32_t symbolRate = 0;
    std::optional<std::uint32_t> deliverySystem;
    std::optional<std::uint32_t> modulation;
    std::optional<std::uint32_t> innerFec;
    std::optional<std::uint32_t> rolloff;
    std::optional<std::uint32_t> pilot;
    std::optional<std::uint32_t> inversion;
};

namespace report {
inline constexpr std::size_t kIfFrequency = 0, kSymbolRate = 1, kStandard = 2, kModCode = 3,
                             kDvbsCodeRate = 4, kModulation = 5, kStreamType = 6, kInputStream = 7,
                             kCodingModulation = 8, kInputSynchro = 9, kNullPacketDeletion = 10,
                             kRollOff = 11, kInputStreamId = 12, kMatype1 = 13, kMatype2 = 14,
                             kSpectrum = 15, kPilots = 16, kFrameLength = 17;
}  // namespace report

// DVB-S2 MODCOD 1..28 of EN 302 307-1 for a modulation and code rate; 29 when there is none.
std::int32_t Dvbs2ModCod(std::uint32_t modulation, std::uint32_t innerFec);

std::array<std::int32_t, 18> BuildCarrierReport(const DvbReceivedCarrier& carrier);

}  // namespace linuxdvb
