#include "load/load_test_environment.h"

#include <cstdlib>
#include <filesystem>

#include "core/process_globals.h"
#include "platform/bda/bda_classes.h"
#include "platform/devices/system_device_enum.h"
#include "platform/media/media_classes.h"
#include "support/folder_roots.h"

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
    test_roots::SetProgramFolder(m_strProgramFolder);
    test_roots::SetDriveCRoot(m_folder.Path());
    test_roots::SetConfigFolder(m_folder.File("config"));
    g_strWorkDir = m_strProgramFolder;
}

CLoadTestEnvironment::~CLoadTestEnvironment() {
    test_roots::SetProgramFolder("");
    test_roots::SetDriveCRoot("");
    test_roots::SetConfigFolder("");
    std::error_code ignored;
    if (m_bProgramFolderInMemory) std::filesystem::remove_all(m_strProgramFolder, ignored);
}

std::string CLoadTestEnvironment::BuildTranspondersFolder() {
    return std::string(VLK_LOAD_PROGRAM_DIR) + "/Transponders";
}
