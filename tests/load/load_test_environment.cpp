#include "load/load_test_environment.h"

#include <cstdlib>
#include <filesystem>

#include "core/process_globals.h"
#include "platform/bda/bda_classes.h"
#include "platform/devices/system_device_enum.h"
#include "platform/media/media_classes.h"
#include "platform/win/known_folders.h"

namespace {

constexpr const char* kMemoryFolder = "/dev/shm";

}  // namespace

CLoadTestEnvironment::CLoadTestEnvironment() {
    std::string pattern = std::string(kMemoryFolder) + "/vlk-load-XXXXXX";
    m_bProgramFolderInMemory = ::mkdtemp(pattern.data()) != nullptr;
    if (m_bProgramFolderInMemory) {
        m_strProgramFolder = pattern;
    } else {
        m_strProgramFolder = m_folder.File("program");
        std::filesystem::create_directories(m_strProgramFolder);
    }
    RegisterDeviceEnumeratorClass();
    RegisterMediaClasses();
    RegisterBdaClasses();
    std::filesystem::create_directories(m_folder.File("config"));
    platform::SetProgramFolderForTesting(m_strProgramFolder);
    platform::SetDriveCRootForTesting(m_folder.Path());
    platform::SetConfigFolderForTesting(m_folder.File("config"));
    g_strWorkDir = m_strProgramFolder;
}

CLoadTestEnvironment::~CLoadTestEnvironment() {
    platform::SetProgramFolderForTesting("");
    platform::SetDriveCRootForTesting("");
    platform::SetConfigFolderForTesting("");
    std::error_code ignored;
    if (m_bProgramFolderInMemory) std::filesystem::remove_all(m_strProgramFolder, ignored);
}

std::string CLoadTestEnvironment::BuildTranspondersFolder() {
    return std::string(VLK_LOAD_PROGRAM_DIR) + "/Transponders";
}
