#pragma once
// What the satellite files (Transponders/ in the program folder) say of a transponder the user
// tunes: delivery system, modulation and code rate, found by frequency, polarisation and symbol
// rate. The files are read on the first question, not at start-up, within the folder's budget
// (satellite_folder_budget.h), and indexed by frequency. Where several satellites list
// the transponder, the description most of them give wins; what they do not agree on is left
// unsaid. Threads: every member may be called from any thread.
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "data/satellite_file.h"
#include "drivers/linuxdvb/dvb_lock_plan.h"

namespace linuxdvb {

class CDvbTransponderHints {
public:
    explicit CDvbTransponderHints(std::string transpondersFolder);
    // Already read files (tests).
    explicit CDvbTransponderHints(std::vector<SatelliteFile> satellites);

    // `polarisation` as the tune request has it: 1 H, 2 V, 3 L, 4 R (anything else: any).
    DvbTransponderHint Find(std::uint32_t frequencyKHz, std::int32_t polarisation,
                            std::uint32_t symbolRate);

private:
    void IndexByFrequency();
    // The transponders of every file, by frequency; read on the first call.
    const std::vector<const SatelliteTransponder*>& ByFrequency();

    const std::string m_strFolder;
    std::once_flag m_loaded;
    std::vector<SatelliteFile> m_satellites;
    std::vector<const SatelliteTransponder*> m_byFrequency;  // into m_satellites
};

}  // namespace linuxdvb
