#pragma once
// The carrier report (the 72-byte GET_MEDIAINFO record: eighteen little-endian int32) built
// from what the frontend reports of the tuned carrier (FE_GET_PROPERTY).
//
// The kernel reports delivery system, modulation, inner FEC, roll-off, pilots, inversion, stream
// id, symbol rate and frequency (IF). It cannot tell the baseband header: CCM/ACM, ISSYI, NPD,
// the frame length, the TS/GS field and the raw MATYPE bytes. The report states CCM, ISSYI and
// NPD off, normal frames and a transport stream (the demux delivers one), single input stream
// unless a stream id is in force (then multiple, with that ISI), and MATYPE-1/-2 composed from
// those stated fields (DVB-S: both 0). Unknown values: MODCOD 29, DVB-S code rate 8, modulation
// -1, roll-off 3.
#include <array>
#include <cstdint>

namespace linuxdvb {

// The frontend's parameters, as the kernel's numbers (SYS_*, QPSK/PSK_8/..., FEC_*, ROLLOFF_*,
// PILOT_*, INVERSION_*), frequency in kHz, symbol rate in symbols/s.
struct DvbTunedParameters {
    std::uint32_t deliverySystem = 0;
    std::uint32_t frequencyKHz = 0;
    std::uint32_t symbolRate = 0;
    std::uint32_t innerFec = 0;
    std::uint32_t modulation = 0;
    std::uint32_t rolloff = 0;
    std::uint32_t pilot = 0;
    std::uint32_t inversion = 0;
    std::uint32_t streamId = 0xFFFFFFFFu;  // NO_STREAM_ID_FILTER
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

std::array<std::int32_t, 18> BuildCarrierReport(const DvbTunedParameters& parameters);

}  // namespace linuxdvb
