#include "core/process_globals.h"

std::int32_t g_nDeviceIndex = -1;
std::string g_strDeviceName;
std::string g_strWorkDir;
std::recursive_mutex g_hDriverMutex;
