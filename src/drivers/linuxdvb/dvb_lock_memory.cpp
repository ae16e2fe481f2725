#include "drivers/linuxdvb/dvb_lock_memory.h"

#include <fmt/format.h>

#include <array>
#include <cstring>
#include <sstream>

#include "platform/win/debug_output.h"
#include "platform/win/private_profile.h"

namespace linuxdvb {

namespace {

std::string KeyText(const DvbTransponderKey& key) {
    return fmt::format("{} {} {}", key.frequencyKHz, key.polarisation, key.symbolRate);
}

}  // namespace

CDvbLockMemory::CDvbLockMemory(std::string path) : m_strPath(std::move(path)) {}

std::optional<DvbCarrierSettings> CDvbLockMemory::Recall(const std::string& frontendName,
                                                         const DvbTransponderKey& key) {
    std::array<char, 128> buffer{};
    {
        std::lock_guard guard(m_lock);
        GetPrivateProfileStringA(frontendName.c_str(), KeyText(key).c_str(), "", buffer.data(),
                                 static_cast<DWORD>(buffer.size()), m_strPath.c_str());
    }
    std::istringstream words(buffer.data());
    DvbCarrierSettings settings;
    if (!(words >> settings.deliverySystem >> settings.modulation >> settings.innerFec >>
          settings.rolloff >> settings.pilot)) {
        return std::nullopt;
    }
    std::string rest;
    if (words >> rest) return std::nullopt;
    return settings;
}

bool CDvbLockMemory::Remember(const std::string& frontendName, const DvbTransponderKey& key,
                              const DvbCarrierSettings& settings) {
    const std::string value =
        fmt::format("{} {} {} {} {}", settings.deliverySystem, settings.modulation,
                    settings.innerFec, settings.rolloff, settings.pilot);
    std::lock_guard guard(m_lock);
    if (WritePrivateProfileStringA(frontendName.c_str(), KeyText(key).c_str(), value.c_str(),
                                   m_strPath.c_str())) {
        return true;
    }
    OutputDebugStringA(fmt::format("linuxdvb: cannot keep what locked in {}: {}", m_strPath,
                                   std::strerror(static_cast<int>(GetLastError()))));
    return false;
}

}  // namespace linuxdvb
