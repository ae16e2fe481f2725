#pragma once
// The naming table LinuxTuners.ini (program folder): which name of the card range a frontend of
// /dev/dvb is listed under, so that the tuner model table classifies it. Format (README.md,
// "Real tuners on Linux"):
//
//   [ByPci]                      vendor:product (hex) = name   PCI cards
//   [ByUsb]                      vendor:product (hex) = name   USB devices
//   [ByName]                     kernel frontend name = name
//   [Default]                    DVB-S2 = name, DVB-S = name   frontends no entry names
//
// Bus ids win over the kernel name, the name over the default. In a name, "{port}" stands for
// the frontend's position (0, 1, ...) among the frontends that the same entry named. Lines are
// "key = value" (split at the last '='), blanks around both are dropped, ';' or '#' starts a
// comment line; section names ignore case; anything not understood is skipped. The first entry
// for a key counts.
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "drivers/linuxdvb/dvb_kernel_types.h"

namespace linuxdvb {

class CLinuxTunerNames {
public:
    static constexpr std::size_t kMaxFileBytes = 1 << 20;

    // Every DVB-S2 and DVB-S frontend as the range's generic DVB-S2 model.
    static CLinuxTunerNames Defaults();
    static CLinuxTunerNames Parse(std::string_view text);
    // The file, or Defaults() when it is missing or cannot be read (also beyond kMaxFileBytes).
    static CLinuxTunerNames Load(const std::string& path);

    // Which entry names the frontend: an identifier for counting ports, and the name pattern.
    struct Match {
        std::string entry;
        std::string name;
    };
    std::optional<Match> Find(const DvbFrontendDescription& frontend) const;

    // The model name with "{port}" replaced.
    static std::string Expand(const std::string& pattern, int port);
    // What the device list shows: "<model> (<kernel name>, adapter N)", with ", frontend M" for
    // frontends past the first; the kernel name and adapter alone without a model.
    static std::string ListedName(const std::string& model, const DvbFrontendDescription& frontend);

private:
    using BusId = std::pair<std::uint16_t, std::uint16_t>;
    std::map<BusId, std::string> m_pci;
    std::map<BusId, std::string> m_usb;
    std::map<std::string, std::string> m_byName;
    std::optional<std::string> m_defaultS2;
    std::optional<std::string> m_defaultS;
};

// True for frontends whose delivery systems include DVB-S or DVB-S2.
bool IsSatelliteFrontend(const DvbFrontendDescription& frontend);
bool HasDvbS2(const DvbFrontendDescription& frontend);

}  // namespace linuxdvb
