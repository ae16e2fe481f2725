#pragma once
// Process-wide values of the application shell, written at start-up and read afterwards.
#include <cstdint>
#include <mutex>
#include <string>

// Position of the chosen tuner in the tuner category's enumeration; -1 until a choice is made.
extern std::int32_t g_nDeviceIndex;
// Friendly name of the chosen tuner as listed; "No Device" when the list was empty.
extern std::string g_strDeviceName;
// The folder of the program's data (platform::DataFolder()), without a trailing separator.
extern std::string g_strWorkDir;
// The driver mutex: every call on the tuner driver, from any thread, is made while holding it.
// It is recursive for its owner and lives as long as the process.
extern std::recursive_mutex g_hDriverMutex;
