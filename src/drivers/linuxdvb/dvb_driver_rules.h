#pragma once
// What a frontend's kernel driver accepts and reports, where drivers differ: which "auto" values
// it takes in DVB-S2 mode, whether its DVB-S2 mode also receives DVB-S carriers, whether it has
// the APSK modulations, how it takes a stream id and a physical-layer scrambling code, and which
// parameters of the received carrier it reads back from the demodulator. Each driver has a
// section in LinuxTuners.ini named after its kernel frontend name (README.md, "Real tuners on
// Linux"):
//
//   [Driver Some Demod Name]
//   AutoFec = yes            FEC_AUTO accepted in DVB-S2 mode (yes, no; missing: unknown)
//   AutoRollOff = no         ROLLOFF_AUTO accepted in DVB-S2 mode (the same)
//   AutoPilot = yes          PILOT_AUTO accepted in DVB-S2 mode (the same)
//   S2ReceivesS = no         its DVB-S2 mode also locks DVB-S carriers
//   Apsk = yes               16APSK and 32APSK
//   StreamId = index         none | isi | index | packed (see DvbStreamIdForm)
//   Reports = modulation fec rolloff pilot inversion delivery
//   RatesQPSK = 1/2 3/5 2/3  the code rates set_frontend takes stated in DVB-S2, one key per
//   Rates8PSK = 3/5 2/3      modulation (RatesQPSK, Rates8PSK, Rates16APSK, Rates32APSK); with
//                            any of them, a modulation without its key is not taken at all
//   RollOffs = 0.35 0.20     the roll-offs it takes stated in DVB-S2, the one to try first first
//   TuneHoldMs = 1000        the longest its tune keeps the frontend when no lock comes (a
//                            driver that waits for the lock inside set_frontend)
//
// An "auto" not known to be accepted or refused is tried first, then stated values; a driver
// without a section gets Generic(), where nothing is known.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "drivers/linuxdvb/dvb_kernel_types.h"

namespace linuxdvb {

enum class DvbStreamIdForm {
    None,    // no multistream: stream id and scrambling code are not sent
    Isi,     // DTV_STREAM_ID carries the ISI only; no scrambling code
    Index,   // DTV_STREAM_ID the ISI, DTV_SCRAMBLING_SEQUENCE_INDEX the gold code
    Packed,  // DTV_STREAM_ID: ISI bits 0-7, code bits 8-25, code type bits 26-27 (1: gold)
};

// Parameters a driver's get_frontend reads back from the demodulator; the rest of what
// FE_GET_PROPERTY returns is only the request.
enum DvbReported : std::uint32_t {
    kReportsNothing = 0,
    kReportsDelivery = 1u << 0,
    kReportsModulation = 1u << 1,
    kReportsFec = 1u << 2,
    kReportsRollOff = 1u << 3,
    kReportsPilot = 1u << 4,
    kReportsInversion = 1u << 5,
};

struct DvbDriverRules {
    std::optional<bool> autoFec;
    std::optional<bool> autoRollOff;
    std::optional<bool> autoPilot;
    bool s2ReceivesS = false;
    bool apsk = true;
    DvbStreamIdForm streamId = DvbStreamIdForm::Index;
    std::uint32_t reports = kReportsNothing;
    // The stated DVB-S2 code rates set_frontend takes, by modulation (the kernel's QPSK, PSK_8,
    // APSK_16, APSK_32 and FEC_* numbers); empty: not known, and every rate the kernel names
    // for a modulation is tried.
    std::map<std::uint32_t, std::vector<std::uint32_t>> s2Rates;
    // The stated DVB-S2 roll-offs it takes, the usual first; empty: not known (0.35 is tried).
    std::vector<std::uint32_t> rollOffs;
    // The longest its tune keeps the frontend when no lock comes; 0: it returns at once.
    int tuneHoldMs = 0;

    // For a driver the file does not describe.
    static DvbDriverRules Generic();
    // The section "Driver <frontend name>" of the INI file at `path`; Generic() for every key it
    // lacks or does not understand.
    static DvbDriverRules Load(const std::string& path, const std::string& frontendName);
    friend bool operator==(const DvbDriverRules&, const DvbDriverRules&) = default;
};

}  // namespace linuxdvb
