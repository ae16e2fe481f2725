#include "support/fake_devices.h"

#include "platform/devices/device_enum_interfaces.h"
#include "platform/devices/system_device_enum.h"
#include "platform/win/known_folders.h"

CShellTestEnvironment::CShellTestEnvironment() {
    RegisterDeviceEnumeratorClass();
    platform::SetDriveCRootForTesting(m_folder.Path());
    platform::SetProgramFolderForTesting(m_folder.Path());
}

CShellTestEnvironment::~CShellTestEnvironment() {
    platform::SetDriveCRootForTesting("");
    platform::SetProgramFolderForTesting("");
}

std::string CShellTestEnvironment::LogText() const {
    return ReadWholeFile(m_folder.File("Keplin.log"));
}

DeviceDescriptor FakeTuner(std::optional<std::wstring> name) {
    DeviceDescriptor device;
    device.category = KSCATEGORY_BDA_NETWORK_TUNER;
    device.friendlyName = std::move(name);
    device.bindFilter = [](REFIID, void**) { return E_FAIL; };
    return device;
}
