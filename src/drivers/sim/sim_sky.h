#pragma once
// The simulated sky: every carrier of the satellite files in the program folder's Transponders/,
// files of the same orbital position merged (the first file in name order names the position and
// wins where two files list the same polarisation and frequencies less than 1 MHz apart), plus
// the card's own carriers for what the tables lack (ExtraCarriers), which replace the carriers
// of the files they overlap.
//
// Load reads the folder on a worker thread within the whole budget of satellite_folder_budget.h
// and returns at once, so the cards are published before the folder is read; the first question
// to the sky waits for the reading. Duplicates are found through an ordered index of the kept
// carriers and the carriers near a frequency through an index by frequency: loading takes
// O(n log n) for n transponders, a look-up O(log n) plus what it finds.
//
// A file's line becomes a carrier as follows. DVB-S (also when the delivery system is missing):
// QPSK whatever the file says; FEC 1/2, 2/3, 3/4, 5/6 or 7/8 as written, otherwise 3/4. DVB-S2:
// the modulation as written (QPSK when missing or AUTO); the FEC as written when that MODCOD
// exists, otherwise 3/4 for QPSK, 16APSK and 32APSK and 2/3 for 8PSK; pilots on except for QPSK;
// roll-off 0.35; normal frames; one transport stream; no scrambling. Other delivery systems are
// left out, and so are lines whose frequency in kHz does not fit 32 bits or whose symbol rate in
// symbols per second does not fit the carrier report's signed 32 bits.
#include <cstddef>
#include <cstdint>
#include <future>
#include <string>
#include <vector>

#include "data/satellite_file.h"
#include "drivers/sim/sim_carrier.h"

class CSimSky {
public:
    CSimSky();
    explicit CSimSky(std::vector<SimCarrier> carriers);

    // The satellite files of `transpondersFolder` and the extra carriers, read on a worker thread.
    static CSimSky Load(const std::string& transpondersFolder,
                        const SatelliteFolderLimits& limits = {});
    // The same from already read files (tests).
    static CSimSky FromSatellites(const std::vector<SatelliteFile>& satellites);

    // At 19.2 E: a DVB-S2X carrier (QPSK 13/45, 12516 V), a carrier with three input streams
    // (ISI 1, 2 and 3, 12590 V), one scrambled with gold code 131070 (root 16416, 12630 V) and
    // a generic continuous stream (12670 V).
    static std::vector<SimCarrier> ExtraCarriers(const std::string& satelliteName);

    // Each of these waits until a Load has finished reading.
    const std::vector<SimCarrier>& Carriers() const;
    // Positions in Carriers(), ascending, of the carriers from `lowKHz` to `highKHz` inclusive.
    std::vector<std::size_t> CarriersBetween(std::uint64_t lowKHz, std::uint64_t highKHz) const;
    // Orbital positions (tenths east) that carry at least one carrier, ascending.
    const std::vector<int>& Positions() const;

private:
    struct Contents {
        std::vector<SimCarrier> carriers;
        std::vector<std::size_t> byFrequency;  // positions in carriers, by frequency, then position
        std::vector<int> positions;
    };
    static Contents Index(std::vector<SimCarrier> carriers);
    explicit CSimSky(std::shared_future<Contents> contents);

    // Shared by the copies of a sky; ready unless a Load is still reading.
    std::shared_future<Contents> m_contents;
};
