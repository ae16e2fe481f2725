#pragma once
// Publishes fake devices for a test and redirects the shell's files into a temporary folder.
#include <optional>
#include <string>
#include <vector>

#include "platform/devices/device_registry.h"
#include "support/temp_folder.h"

// The device enumerator class registered and the "drive C" root and program folder redirected
// to a temporary folder, for the lifetime of the object.
class CShellTestEnvironment {
public:
    CShellTestEnvironment();
    ~CShellTestEnvironment();
    const CTempFolder& Folder() const { return m_folder; }
    std::string LogText() const;

private:
    CTempFolder m_folder;
};

// A tuner device with this name (nullopt: its name cannot be read) that binds to no filter.
DeviceDescriptor FakeTuner(std::optional<std::wstring> name);
