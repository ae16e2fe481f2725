#include "support/fake_devices.h"

#include "platform/devices/device_enum_interfaces.h"
#include "platform/devices/system_device_enum.h"
#include "support/folder_roots.h"

CShellTestEnvironment::CShellTestEnvironment() {
    RegisterDeviceEnumeratorClass();
    test_roots::SetDriveCRoot(m_folder.Path());
    test_roots::SetProgramFolder(m_folder.Path());
}

CShellTestEnvironment::~CShellTestEnvironment() {
    test_roots::SetDriveCRoot("");
    test_roots::SetProgramFolder("");
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
