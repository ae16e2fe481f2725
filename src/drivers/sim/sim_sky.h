#pragma once
// The simulated sky: every carrier of the satellite files in the program folder's Transponders/,
// files of the same orbital position merged (the first file in name order names the position and
// wins where two files list the same frequency and polarisation), plus the card's own carriers
// for what the tables lack (ExtraCarriers).
//
// A file's line becomes a carrier as follows. DVB-S (also when the delivery system is missing):
// QPSK whatever the file says; FEC 1/2, 2/3, 3/4, 5/6 or 7/8 as written, otherwise 3/4. DVB-S2:
// the modulation as written (QPSK when missing or AUTO); the FEC as written when that MODCOD
// exists, otherwise 3/4 for QPSK, 16APSK and 32APSK and 2/3 for 8PSK; pilots on except for QPSK;
// roll-off 0.35; normal frames; one transport stream; no scrambling. Other delivery systems are
// left out, and so are lines whose frequency in kHz does not fit 32 bits or whose symbol rate in
// symbols per second does not fit the carrier report's signed 32 bits.
#include <string>
#include <vector>

#include "data/satellite_file.h"
#include "drivers/sim/sim_carrier.h"

class CSimSky {
public:
    CSimSky() = default;
    explicit CSimSky(std::vector<SimCarrier> carriers);

    // The satellite files of `transpondersFolder` and the extra carriers.
    static CSimSky Load(const std::string& transpondersFolder);
    // The same from already read files (tests).
    static CSimSky FromSatellites(const std::vector<SatelliteFile>& satellites);

    // At 19.2 E: a DVB-S2X carrier (QPSK 13/45, 12516 V), a carrier with three input streams
    // (ISI 1, 2 and 3, 12590 V), one scrambled with gold code 131070 (root 16416, 12630 V) and
    // a generic continuous stream (12670 V).
    static std::vector<SimCarrier> ExtraCarriers(const std::string& satelliteName);

    const std::vector<SimCarrier>& Carriers() const { return m_carriers; }
    // Orbital positions (tenths east) that carry at least one carrier, ascending.
    std::vector<int> Positions() const;

private:
    std::vector<SimCarrier> m_carriers;
};
