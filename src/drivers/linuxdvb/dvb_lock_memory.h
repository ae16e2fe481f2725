#pragma once
// The carrier settings that last locked each transponder on each kind of frontend, kept in the
// user's configuration folder (LinuxTunerLocks.ini), so the next lock of a transponder needs no
// search. One section per kernel frontend name; per transponder the key
// "<frequency kHz> <polarisation 1..4> <symbol rate>" and the value
// "<delivery system> <modulation> <FEC> <roll-off> <pilot>" in the kernel's numbers. A value
// that cannot be read is as good as none. Threads: any.
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "drivers/linuxdvb/dvb_carrier_settings.h"

namespace linuxdvb {

struct DvbTransponderKey {
    std::uint32_t frequencyKHz = 0;
    std::int32_t polarisation = 0;
    std::uint32_t symbolRate = 0;
};

class CDvbLockMemory {
public:
    // `path`: platform::LockMemoryFile() in the program.
    explicit CDvbLockMemory(std::string path);

    std::optional<DvbCarrierSettings> Recall(const std::string& frontendName,
                                             const DvbTransponderKey& key);
    // False when the file cannot be written (logged; the search simply runs again next time).
    bool Remember(const std::string& frontendName, const DvbTransponderKey& key,
                  const DvbCarrierSettings& settings);

private:
    const std::string m_strPath;
    std::mutex m_lock;
};

}  // namespace linuxdvb
