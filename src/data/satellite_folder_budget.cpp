#include "data/satellite_folder_budget.h"

#include <utility>

#include "platform/win/debug_output.h"

CSatelliteFolderBudget::CSatelliteFolderBudget(std::string folder, SatelliteFolderLimits limits)
    : m_strFolder(std::move(folder)), m_limits(limits) {}

bool CSatelliteFolderBudget::TakeFile(const std::string& name, std::uintmax_t bytes) {
    if (m_bExhausted) return false;
    if (m_nFiles >= m_limits.files) {
        Stop(name, "the folder holds more than " + std::to_string(m_limits.files) + " files");
        return false;
    }
    if (bytes > m_limits.bytes - m_nBytes) {
        Stop(name, "its files add up to more than " +
                       std::to_string(m_limits.bytes / (std::uint64_t{1024} * 1024)) + " MiB");
        return false;
    }
    ++m_nFiles;
    m_nBytes += bytes;
    return true;
}

std::size_t CSatelliteFolderBudget::TakeTransponders(const std::string& name, std::size_t count) {
    if (m_bExhausted) return 0;
    const std::size_t left = m_limits.transponders - m_nTransponders;
    if (count > left) {
        Stop(name,
             "its files list more than " + std::to_string(m_limits.transponders) + " transponders");
        count = left;
    }
    m_nTransponders += count;
    return count;
}

void CSatelliteFolderBudget::Stop(const std::string& name, const std::string& reason) {
    m_bExhausted = true;
    OutputDebugStringA("Satellite files: reading " + m_strFolder + " stopped at " + name +
                       " because " + reason +
                       "; the rest is left out. Move the files you do not need out of the folder.");
}
